#pragma once

#include "logfiltermodel.h"
#include "logmodel.h"

#include <QString>

#include <memory>

// One open log: its key and the two models that show it. Move-only; destroying an entry
// destroys its filter model first, then its record model.
struct OpenLogEntry
{
    QString folder;
    QString name;
    std::unique_ptr<LogModel> model;
    std::unique_ptr<LogFilterModel> filter;
};

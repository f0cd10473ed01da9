#pragma once

#include "textprefilter.h"

#include <QStringList>

#include <memory>

// The prefilters of the last few filters, shared by every search that asks for the same one:
// a filter change reaches every open log, a followed log is searched again at each update, and
// a pasted list of ids takes Hyperscan tens of milliseconds to compile. Safe on any thread.
class PrefilterCache
{
public:
    // The prefilter that TextPrefilter(loweredTexts, anyOf, encoding) makes, made once while
    // it is among the last few asked for.
    [[nodiscard]] static std::shared_ptr<const TextPrefilter> of(
        const QStringList &loweredTexts, bool anyOf, TextEncoding encoding);
};

#pragma once

#include "qarnlogparser.h"

#include <QByteArray>
#include <QStringList>

#include <vector>

// A deliberately plain reading of the log format through QTextStream, one line at a time,
// that the fast parser must match on every input.
namespace ReferenceParser {

[[nodiscard]] QStringList lines(const QByteArray &data);
[[nodiscard]] std::vector<QarnLogParser::QarnLog> parse(const QByteArray &data);

} // namespace ReferenceParser

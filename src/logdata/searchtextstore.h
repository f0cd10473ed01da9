#pragma once

#include "qarnlogparser.h"

#include <QString>
#include <QStringView>

#include <memory>
#include <string_view>
#include <vector>

// The lower-cased search texts of a log's records, packed as UTF-8 in a buffer shared by many
// rows: a text made only of ASCII characters, as nearly all are, takes one byte per character,
// and text in other scripts mostly two or three. Only a text that UTF-8 cannot hold exactly
// (one with an unpaired surrogate) is kept as a QString of its own. Half the memory of one
// QString per row, and half the bytes for every filter pass to read. A needle's UTF-8 bytes
// occur in a text's UTF-8 bytes exactly when the needle occurs in the text.
class SearchTextStore
{
public:
    // Builds the text of every record, splitting large lists among the cores.
    [[nodiscard]] static SearchTextStore build(const std::vector<QarnLogParser::QarnLog> &records);

    // The search text of one record, the rule that build follows.
    [[nodiscard]] static QString searchTextOf(const QarnLogParser::QarnLog &log);

    [[nodiscard]] size_t size() const { return rowCount; }
    [[nodiscard]] QString text(size_t row) const;

    // Calls visit with the text of the row: a std::string_view of UTF-8 bytes, or a
    // QStringView for a text with an unpaired surrogate. Returns what visit returns.
    template<typename Visit>
    decltype(auto) visit(size_t row, Visit &&visit) const
    {
        const Block &block = blocks[row / blockRows];
        const size_t local = row % blockRows;
        if (const QString *wide = block.wideText(local))
            return visit(QStringView(*wide));
        return visit(block.utf8Text(local));
    }

private:
    // Rows per block: each block is built by one thread and has one byte buffer.
    static constexpr size_t blockRows = size_t(1) << 16;

    struct Block
    {
        std::vector<size_t> ends; // end of each row's bytes; a row starts where the last ended
        std::unique_ptr<char[]> bytes;
        std::vector<size_t> wideRows; // rows of the block held in wideTexts, ascending
        std::vector<QString> wideTexts;

        [[nodiscard]] const QString *wideText(size_t local) const;
        [[nodiscard]] std::string_view utf8Text(size_t local) const;
    };
    class BlockWriter;

    static Block buildBlock(const QarnLogParser::QarnLog *first, size_t count);

    std::vector<Block> blocks;
    size_t rowCount = 0;
};

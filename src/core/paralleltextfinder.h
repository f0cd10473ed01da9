#pragma once

#include <QString>

#include <vector>

// Finds the first of a list of texts that contains a needle, exactly code unit by code unit,
// splitting long lists between two threads.
class ParallelTextFinder
{
public:
    explicit ParallelTextFinder(QString needle);

    // The first position i in [begin, end) whose text texts[rows[i]] contains the needle, or
    // -1. Every row must index texts. The empty needle is found in every text. Blocks until
    // the search has finished.
    [[nodiscard]] qsizetype findFirst(const std::vector<QString> &texts,
        const std::vector<int> &rows, qsizetype begin, qsizetype end) const;

    [[nodiscard]] bool matches(QStringView text) const;

private:
    [[nodiscard]] qsizetype findInRange(const std::vector<QString> &texts,
        const std::vector<int> &rows, qsizetype begin, qsizetype end) const;

    QString needle;
};

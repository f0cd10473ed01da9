#pragma once

#include "recordindex.h"

#include <QStringList>

#include <memory>
#include <vector>

// What became of an indexed log's files since they were indexed, and the index of them as
// they are now. Only what changed is read: the bytes appended to a file from its last record
// on (a record still being written is read again, whole), a file cut short or put in place
// of another from its start, and a new file of the log whole. A file that is gone keeps its
// records, which stay readable from the file held open. Records keep their place in their
// file, so a row of the old index has a row in the new one.
class RecordIndexUpdate
{
public:
    // Compares index's files with what is on disk now; paths are the log's files now, those
    // not in index joining it. Reads the files; safe on any thread.
    RecordIndexUpdate(std::shared_ptr<const RecordIndex> index, const QStringList &paths);

    // Whether any file changed; without a change the updated index is the old one.
    [[nodiscard]] bool changed() const { return updatedIndex != oldIndex; }
    [[nodiscard]] const std::shared_ptr<const RecordIndex> &updated() const { return updatedIndex; }
    [[nodiscard]] const std::shared_ptr<const RecordIndex> &old() const { return oldIndex; }
    // The row in the updated index of the record at oldRow of the old one (for a file read
    // again from its start, the record at the same place in the file, as far as it has one).
    [[nodiscard]] size_t rowAfter(size_t oldRow) const;
    // Each file's first record that this update read, by file of the updated index: the
    // records before it are the old index's.
    [[nodiscard]] const std::vector<size_t> &firstReadRecords() const { return firstRead; }
    // The rows before this one are the old index's rows, with the same records.
    [[nodiscard]] size_t firstChangedRow() const { return firstChanged; }

    // Files read again from their start, files that are gone and files new to the log.
    QStringList replacedFiles;
    QStringList goneFiles;
    QStringList addedFiles;
    // Files that could not be read: they keep what they had, and new ones do not join yet.
    QStringList unreadableFiles;

private:
    // One file as it is now; false when it did not change.
    bool updateFile(size_t file, std::vector<RecordIndex::File> &files);
    // A new file of the log; false when it does not open.
    bool addFile(const QString &path, std::vector<RecordIndex::File> &files);

    std::shared_ptr<const RecordIndex> oldIndex;
    std::shared_ptr<const RecordIndex> updatedIndex;
    std::vector<size_t> firstRead;
    size_t firstChanged = 0;
};

#include "recordindexupdate.h"

#include <QSet>

namespace {

// As the first load does: files past the first few hundred are opened for each read.
constexpr size_t mostOpenFiles = 256;

} // namespace

RecordIndexUpdate::RecordIndexUpdate(
    std::shared_ptr<const RecordIndex> index, const QStringList &paths)
    : oldIndex(std::move(index))
    , updatedIndex(oldIndex)
{
    std::vector<RecordIndex::File> files;
    QSet<QString> known;
    bool anyChange = false;
    for (size_t file = 0; file < oldIndex->fileCount(); ++file) {
        known.insert(oldIndex->file(file).bytes->path());
        anyChange = updateFile(file, files) || anyChange;
    }
    for (const QString &path : paths) {
        if (!known.contains(path))
            anyChange = addFile(path, files) || anyChange;
    }
    if (!anyChange)
        return;
    // Files read again from their start, or new, are merged anew; grown ones take their place.
    std::optional<RecordIndex::Grown> grown;
    if (replacedFiles.isEmpty() && addedFiles.isEmpty())
        grown = RecordIndex::grown(*oldIndex, files, firstRead);
    if (grown) {
        updatedIndex = std::move(grown->index);
        firstChanged = grown->firstChangedRow;
    } else {
        updatedIndex = std::make_shared<const RecordIndex>(std::move(files));
        firstChanged = 0;
    }
}

bool RecordIndexUpdate::updateFile(size_t file, std::vector<RecordIndex::File> &files)
{
    RecordIndex::File current = oldIndex->file(file);
    const size_t count = current.records->size();
    const QString path = current.bytes->path();
    const FileBytes::Change change = current.bytes->changeNow();
    files.push_back(current);
    firstRead.push_back(count);
    if (change == FileBytes::Change::gone)
        goneFiles.append(path);
    if (change == FileBytes::Change::none || change == FileBytes::Change::gone)
        return false;
    // The last record may have been cut off in the middle of being written: it is read again.
    const bool grown = change == FileBytes::Change::grown;
    const size_t kept = grown && count > 0 ? count - 1 : 0;
    const qint64 from = grown && kept < count ? current.records->begins[kept] : 0;
    // Read from its start, a file gives its own byte-order mark.
    const auto tail = RecordScanner::scanTail(
        path, from > 0 ? current.records->byteOrderMark : QByteArray(), from);
    // Taken after the reading, so that it holds every byte that was read.
    auto bytes = std::make_shared<FileBytes>(path, file < mostOpenFiles);
    if (!tail) {
        unreadableFiles.append(path);
        return false;
    }
    if (!grown)
        replacedFiles.append(path);
    auto records = std::make_shared<RecordScanner::FileRecords>(*current.records);
    records->continueWith(kept, *tail);
    files.back() = {std::move(bytes), std::move(records)};
    firstRead.back() = kept;
    return true;
}

// A new file that does not open joins the log once it does.
bool RecordIndexUpdate::addFile(const QString &path, std::vector<RecordIndex::File> &files)
{
    auto tail = RecordScanner::scanTail(path, {}, 0);
    if (!tail) {
        unreadableFiles.append(path);
        return false;
    }
    auto bytes = std::make_shared<FileBytes>(path, files.size() < mostOpenFiles);
    addedFiles.append(path);
    firstRead.push_back(0);
    files.push_back(
        {std::move(bytes), std::make_shared<const RecordScanner::FileRecords>(std::move(*tail))});
    return true;
}

size_t RecordIndexUpdate::rowAfter(size_t oldRow) const
{
    const RecordIndex::Place place = oldIndex->placeOf(oldRow);
    const size_t count = updatedIndex->recordsInFile(place.file);
    if (count > 0)
        return updatedIndex->rowOf(place.file, std::min(place.local, count - 1));
    return std::min(oldRow, updatedIndex->size() > 0 ? updatedIndex->size() - 1 : 0);
}

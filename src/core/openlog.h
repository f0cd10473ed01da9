#pragma once

#include "logopenjob.h"
#include "openlogentry.h"
#include "recordwindowmodel.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

// One log that the window has open or is opening: its state, the load that runs for it and
// how far it has read, its models once a load has brought them, and what the window says
// about it. The registry owns it and makes every change on the interface thread; QML gets it
// as a plain object pointer and binds the tab, the record list and the two status lines to
// its properties. Closed, it keeps no models and serves its key again on the next open, so a
// pointer to it stays valid as long as the core.
class OpenLog : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString folder READ folder CONSTANT)
    Q_PROPERTY(QString name READ name CONSTANT)
    // "loading", "ready", "failed", "cancelled" (a first load stopped) or "closed".
    Q_PROPERTY(QString state READ stateName NOTIFY stateChanged)
    // Whether the running load replaces models that the log shows meanwhile.
    Q_PROPERTY(bool reloading READ isReloading NOTIFY stateChanged)
    Q_PROPERTY(double bytesRead READ bytesRead NOTIFY progressChanged)
    Q_PROPERTY(double totalBytes READ totalBytes NOTIFY progressChanged)
    // The filter model that openLog returns, or null while the first load runs or after it
    // failed; a failed reload keeps the models it would have replaced.
    Q_PROPERTY(QObject *model READ model NOTIFY modelChanged)
    // The window of rows that the record list shows, over model; the same object for the
    // log's whole life.
    Q_PROPERTY(QObject *rows READ rows CONSTANT)
    Q_PROPERTY(int shownRecords READ shownRecords NOTIFY countsChanged)
    Q_PROPERTY(int totalRecords READ totalRecords NOTIFY countsChanged)
    Q_PROPERTY(bool filtered READ isFiltered NOTIFY countsChanged)
    // A background filter pass for the log runs; its rows stay until the pass is in.
    Q_PROPERTY(bool filterPending READ isFilterPending NOTIFY filterPendingChanged)
    // Whether a text search runs without waiting for the log's search texts.
    Q_PROPERTY(bool searchTextsReady READ searchTextsReady NOTIFY searchTextsReadyChanged)
    // Milliseconds the last load that brought models took; -1 before one has.
    Q_PROPERTY(double openMilliseconds READ openMilliseconds NOTIFY stateChanged)
    // Why the last load failed ("none of its files were found"), or empty.
    Q_PROPERTY(QString failureReason READ failureReason NOTIFY stateChanged)
    // The line above the records: what logStatus says about the log.
    Q_PROPERTY(QString notice READ notice NOTIFY noticeChanged)
    // The line below the records: counts, filter, load progress or time, failed reload.
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusTextChanged)
    // Whether the log follows its files as they grow ("following" in the status line).
    Q_PROPERTY(bool following READ isFollowing NOTIFY followingChanged)

public:
    enum class State { loading, ready, failed, cancelled, closed };

    OpenLog(const QString &folder, const QString &name);
    // The registry takes the models out first, in its own order.
    ~OpenLog() override;

    [[nodiscard]] QString folder() const { return logFolder; }
    [[nodiscard]] QString name() const { return logName; }
    [[nodiscard]] State state() const { return loadState; }
    [[nodiscard]] QString stateName() const;
    [[nodiscard]] bool isReloading() const { return loadState == State::loading && current; }
    [[nodiscard]] double bytesRead() const;
    [[nodiscard]] double totalBytes() const;
    [[nodiscard]] QObject *model() const;
    [[nodiscard]] QObject *rows() { return &window; }
    [[nodiscard]] int shownRecords() const;
    [[nodiscard]] int totalRecords() const;
    [[nodiscard]] bool isFiltered() const;
    [[nodiscard]] bool isFilterPending() const { return filterPending; }
    [[nodiscard]] bool searchTextsReady() const { return textsReady; }
    [[nodiscard]] double openMilliseconds() const { return openMs; }
    [[nodiscard]] QString failureReason() const;
    [[nodiscard]] QString notice() const;
    [[nodiscard]] QString statusText() const;
    [[nodiscard]] bool isFollowing() const { return following; }
    // The row that shows, after the last update of a followed log, the record that row showed
    // before it (or the nearest one left); the row itself before any update.
    Q_INVOKABLE int rowAfterUpdate(int row) const;
    // The same for a record number (lineRole), which counts all the log's records.
    Q_INVOKABLE int lineAfterUpdate(int line) const;

    // The models, or null while there are none.
    [[nodiscard]] const OpenLogEntry *entry() const { return current ? &*current : nullptr; }
    [[nodiscard]] OpenLogEntry *entry() { return current ? &*current : nullptr; }
    // The load that runs for the log, or null.
    [[nodiscard]] LogOpenJob *job() const { return runningJob; }

    // Follows a load that has started: the state is loading until it ends.
    void followLoad(LogOpenJob *job);
    // Lets go of the running load, whose result is no longer wanted; the log keeps the models
    // it has, or is cancelled when it has none.
    void dropLoad();
    // Takes the models of a finished load and hands back those it replaces.
    [[nodiscard]] std::optional<OpenLogEntry> attach(OpenLogEntry &&entry, double milliseconds);
    // The load ended without models: the log keeps those it has and says why.
    // reason: why the load was refused, when it was; otherwise the failure says why.
    void fail(Failure failure, const QString &reason = {});
    // Hands over the models, for the registry to destroy.
    [[nodiscard]] std::optional<OpenLogEntry> detach();
    // The log is no longer open: no models, no load, nothing to say.
    void close();
    void setFollowing(bool on);
    // How the rows and the record numbers before an update map to those after it.
    struct RowMapping
    {
        std::function<int(int)> row;
        std::function<int(int)> line;
    };
    // Takes the models of an update of a followed log and hands back the models it replaces;
    // arrived more rows are shown.
    [[nodiscard]] std::optional<OpenLogEntry> takeUpdate(
        OpenLogEntry &&entry, RowMapping mapping, int arrived);
    // What following met: files read again or new to the log (kept until the next such
    // change, when events is not empty), and the files that are gone now.
    void setFollowNotice(const QString &events, const QString &gone);
    void setFilterPending(bool pending);
    void setSearchTextsReady();
    // A background filter pass is about to be installed, or has been.
    void noteFiltering();
    void noteFiltered(int generation);
    // A search may have changed what the log says.
    void noteSearched();

signals:
    void stateChanged();
    void progressChanged();
    void modelChanged();
    void countsChanged();
    void filterPendingChanged();
    void searchTextsReadyChanged();
    void noticeChanged();
    void statusTextChanged();
    void followingChanged();
    // An update of a followed log is in, after rowsAboutToChange: count more rows are shown
    // (fewer, when count is negative: files were read again). rowAfterUpdate maps the rows
    // shown before it.
    void recordsArrived(int count);
    // The rows are about to change underneath, in one model reset: a load's models replace
    // the ones shown, or a background filter pass is installed. A view lets go of them here
    // and binds them again at loadFinished or filtered.
    void rowsAboutToChange();
    // A load ended and the log shows what it brought, or why it brought nothing; reloaded
    // when it replaced models the log had. Never after a dropped load.
    void loadFinished(bool reloaded);
    // The rows of a background filter pass are in (filterLogsAsync's generation).
    void filtered(int generation);

private:
    void setState(State state);
    // Shows the current models' rows, or none, and follows their changes.
    void showModels();

    QString logFolder;
    QString logName;
    State loadState = State::loading;
    std::optional<OpenLogEntry> current;
    QPointer<LogOpenJob> runningJob;
    RecordWindowModel window;
    QMetaObject::Connection filterReset;
    Failure lastFailure = Failure::none;
    // Whether the last failed load found none of the log's files.
    bool filesMissing = false;
    QString refusal;
    bool filterPending = false;
    bool textsReady = false;
    double openMs = -1;
    bool following = false;
    RowMapping updated;
    QString followEvents;
    QString goneFiles;
    double readBytes = 0;
    double allBytes = 0;
};

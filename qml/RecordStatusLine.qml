import QtQuick
import "./fonts"

// The line under the record list of the current tab.
Rectangle {
    id: statusLine

    // Shows the line of a tab of the file view, or none without a tab.
    function show(tab, filterPending) {
        recordStatus.text = tab ? statusOf(tab, filterPending) : "";
    }

    // "1,204 of 3,927,867 records", whether a filter hides any, how far a load has got
    // and how long the last one took.
    function statusOf(tab, filterPending) {
        const parts = [];
        const counts = kestruneCore.logRecordCounts(tab.folderRole, tab.nameRole);
        if (counts.total !== undefined) {
            parts.push(qsTr("%1 of %2 records").arg(grouped(counts.shown)).arg(grouped(counts.total)));
            if (counts.filtered)
                parts.push(qsTr("filter active"));
        }
        if (filterPending)
            parts.push(qsTr("filtering…"));
        if (tab.loadRole !== "") {
            const what = tab.loadRole === "reload" ? qsTr("reloading") : qsTr("loading");
            const percent = Math.floor(100 * tab.bytesReadRole / Math.max(tab.totalBytesRole, 1));
            const megabytes = bytes => grouped(bytes / 1048576);
            parts.push(qsTr("%1 %2% (%3 of %4 MiB)").arg(what).arg(percent).arg(megabytes(tab.bytesReadRole)).arg(megabytes(tab.totalBytesRole)));
            // Merging and building the models follow the reading.
            if (tab.totalBytesRole > 0 && tab.bytesReadRole >= tab.totalBytesRole)
                parts.push(qsTr("building the list"));
        } else if (tab.openTimeRole >= 0) {
            parts.push(qsTr("opened in %1 s").arg((tab.openTimeRole / 1000).toFixed(1)));
        }
        return parts.join(" · ");
    }

    function grouped(number) {
        return Number(Math.round(number)).toLocaleString(Qt.locale("en_US"), "f", 0);
    }

    height: 24
    color: kestruneCore.getStyle("tabBackgroundColor", "#2b3033")

    Text {
        id: recordStatus

        objectName: "recordStatus"
        anchors.fill: parent
        leftPadding: 8
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        font.family: GlobalFont.name
        font.pixelSize: 13
        color: "#ffffff"
    }
}

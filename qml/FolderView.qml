import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import "./fonts"

Item {
    id: folderView

    readonly property int rowHeight: 40
    readonly property var clientFolders: ["file:///C:/Users/Public/Documents/Dorvane Inc/Pellix/Client/Tembra", "file:///C:/Users/Public/Documents/Dorvane Inc/Pellix/Client/Pellix2"]
    readonly property var serverFolders: ["file:///C:/Program Files (x86)/Dorvane Inc/Pellix/Server/Logs"]
    // The folders being scanned, whose rows come when their scans end, and the folders
    // without logs whose scans had something to say.
    readonly property var scans: kestruneCore.folderScanModel()

    signal openFile(string folder, string file)

    // Each folder is scanned in the background; the rows come in the order of the URLs.
    function openFolders(urls) {
        for (const url of urls)
            kestruneCore.openFolderAsync(url);
    }

    function chooseFolder() {
        folderDialog.open();
    }

    function cancelScans() {
        kestruneCore.cancelFolderScans();
    }

    function scanningText(files) {
        const grouped = Number(files).toLocaleString(Qt.locale("en_US"), "f", 0);
        return files === 1 ? qsTr("scanning… 1 file") : qsTr("scanning… %1 files").arg(grouped);
    }

    function openRow(row, folder, name) {
        openFile(folder, name);
        folderListView.currentIndex = row;
    }

    ListView {
        id: folderListView

        objectName: "folderListView"
        anchors.top: parent.top
        anchors.topMargin: 5
        anchors.bottom: addFolderButton.top
        anchors.bottomMargin: 10
        anchors.left: parent.left
        anchors.leftMargin: 15
        anchors.right: parent.right
        anchors.rightMargin: 15
        clip: true
        spacing: 0
        model: kestruneCore.folderModel()
        section.property: "folderRole"
        section.criteria: ViewSection.FullString

        section.delegate: Column {
            id: folderHeader

            required property string section

            width: folderListView.width

            Text {
                objectName: "folderHeaderText"
                width: parent.width
                height: folderView.rowHeight
                leftPadding: 15
                text: folderHeader.section
                textFormat: Text.PlainText
                font.family: GlobalFont.name
                font.pixelSize: 14
                font.bold: true
                color: "#ffffff"
                verticalAlignment: Text.AlignVCenter
                elide: Text.ElideMiddle
            }

            // What the folder's scan passed over: unreadable folders, names that are not UTF-8.
            FolderNotice {
                objectName: "folderNotice"
                width: parent.width
                text: kestruneCore.folderNotice(folderHeader.section)
            }
        }

        delegate: Item {
            id: logRow

            required property int index
            required property string folderRole
            required property string nameRole

            width: folderListView.width
            height: folderView.rowHeight

            FolderDelegateButton {
                objectName: "logButton"
                anchors.centerIn: parent
                width: parent.width - 30
                height: parent.height
                font.pixelSize: 15
                text: logRow.nameRole
                selected: folderListView.currentIndex === logRow.index
                onClicked: folderView.openRow(logRow.index, logRow.folderRole, logRow.nameRole)
            }
        }

        // Below the rows, as their rows will come: each folder being scanned, with how far its
        // scan has got, and each folder without logs that has a notice.
        footer: Column {
            width: folderListView.width

            Repeater {
                model: folderView.scans

                delegate: Column {
                    id: scanEntry

                    required property string folderRole
                    required property double filesSeenRole
                    required property bool scanningRole
                    required property string noticeRole

                    width: folderListView.width

                    Text {
                        objectName: "scanHeaderText"
                        width: parent.width
                        height: folderView.rowHeight
                        leftPadding: 15
                        text: scanEntry.folderRole
                        textFormat: Text.PlainText
                        font.family: GlobalFont.name
                        font.pixelSize: 14
                        font.bold: true
                        color: "#ffffff"
                        verticalAlignment: Text.AlignVCenter
                        elide: Text.ElideMiddle
                    }

                    FolderNotice {
                        objectName: "scanNotice"
                        width: parent.width
                        text: scanEntry.scanningRole ? folderView.scanningText(scanEntry.filesSeenRole) : scanEntry.noticeRole
                    }
                }
            }
        }

        ScrollBar.vertical: VerticalScrollBar {
            attachedView: folderListView
        }
    }

    // Wherever the keyboard focus is, while a folder is being scanned.
    Shortcut {
        sequence: "Escape"
        enabled: folderView.scans.scanning
        onActivated: folderView.cancelScans()
        // Together with another use of Escape, such as stopping a log's load.
        onActivatedAmbiguously: folderView.cancelScans()
    }

    CommonButton {
        id: addFolderButton

        objectName: "addFolderButton"
        anchors.bottom: bottomBlock.top
        anchors.bottomMargin: 10
        anchors.left: parent.left
        anchors.leftMargin: 15
        width: 110
        height: 24
        borderWidth: 1
        borderColor: "#ffffff"
        text: qsTr("Add folder…")
        onClicked: folderView.chooseFolder()
    }

    FolderDialog {
        id: folderDialog

        objectName: "folderDialog"
        title: qsTr("Add folder")
        onAccepted: folderView.openFolders([selectedFolder])
    }

    Item {
        id: bottomBlock

        anchors.bottom: parent.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        height: 50

        Rectangle {
            id: bottomBlockTop

            anchors.top: parent.top
            width: parent.width
            height: 3
            color: "#ffffff"
        }

        Text {
            anchors.top: bottomBlockTop.bottom
            anchors.topMargin: 10
            anchors.left: parent.left
            anchors.leftMargin: 15
            // Ends before the buttons, which keep their place in a narrow panel.
            anchors.right: functionBar.left
            anchors.rightMargin: 5
            height: 30
            font.family: GlobalFont.name
            font.pixelSize: 15
            color: "#c5c5c5"
            elide: Text.ElideRight
            text: qsTr("Quick links: ")
        }

        Row {
            id: functionBar

            anchors.top: bottomBlockTop.bottom
            anchors.topMargin: 10
            anchors.right: parent.right
            anchors.rightMargin: 10
            height: 20
            spacing: 10

            CommonButton {
                objectName: "btnMyClient"
                width: 85
                height: 20
                borderWidth: 1
                borderColor: "#ffffff"
                text: qsTr("My client")
                onClicked: folderView.openFolders(folderView.clientFolders)
            }

            CommonButton {
                objectName: "btnMyServer"
                width: 85
                height: 20
                borderWidth: 1
                borderColor: "#ffffff"
                text: qsTr("My server")
                onClicked: folderView.openFolders(folderView.serverFolders)
            }
        }
    }

    DropArea {
        id: dropArea

        objectName: "dropArea"
        anchors.fill: parent
        onDropped: drop => {
            folderView.openFolders(drop.urls);
            drop.acceptProposedAction();
        }
    }

    Text {
        objectName: "dropHint"
        anchors.fill: dropArea
        text: qsTr("Drop folder here")
        color: "#ffffff"
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        font.family: GlobalFont.name
        font.pixelSize: 16
        font.italic: true
        visible: (folderListView.count === 0 && folderView.scans.count === 0) || dropArea.containsDrag
    }

    Rectangle {
        objectName: "dropOverlay"
        anchors.fill: parent
        color: "#ffffff"
        opacity: 0.4
        visible: dropArea.containsDrag
    }
}

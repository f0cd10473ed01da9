import QtQuick
import QtQuick.Controls.Universal
import "./fonts"

Item {
    id: filterView

    property bool isOrMode: true

    signal containsOnly(var filters)
    signal containsAll(var filters)
    signal showOnlyErrors(bool onlyErrors)
    // Keep the records whose date texts lie between from and to, both bounds included; an
    // empty bound does not bound.
    signal dateRange(string from, string to)

    // Sends the texts of the list (not what a field shows unconfirmed) in the current mode.
    function applyFilter() {
        const filters = [];
        for (let i = 0; i < containsOnlyModel.count; ++i)
            filters.push(containsOnlyModel.get(i).filterRole);
        if (isOrMode)
            containsOnly(filters);
        else
            containsAll(filters);
    }

    function setFilterText(row, text) {
        containsOnlyModel.setProperty(row, "filterRole", text);
        applyFilter();
    }

    function removeFilter(row) {
        containsOnlyModel.remove(row);
        applyFilter();
    }

    function toggleMode() {
        isOrMode = !isOrMode;
        applyFilter();
    }

    function applyDateRange() {
        dateRange(fromBound.text, toBound.text);
    }

    function applyNoRecording() {
        containsOnlyModel.clear();
        for (const text of ["queue full", "elapsed time", "no proper storage"])
            containsOnlyModel.append({ "filterRole": text });
        isOrMode = true;
        applyFilter();
    }

    // Back to no texts and errors shown too, each change sent as the controls send it.
    function clearFilters() {
        containsOnlyModel.clear();
        containsOnlyModel.append({ "filterRole": "" });
        isOrMode = true;
        applyFilter();
        errorsOnlyCheckBox.checked = false;
    }

    width: 300
    height: 600

    // One bound of the time range: its label and its field.
    component DateBound: Row {
        property alias label: boundLabel.text
        property alias fieldName: boundField.objectName
        property alias text: boundField.text

        signal accepted

        spacing: 10

        Text {
            id: boundLabel

            width: 40
            height: 35
            font.family: GlobalFont.name
            font.pixelSize: 15
            color: "#c5c5c5"
            verticalAlignment: Text.AlignVCenter
        }

        TextField {
            id: boundField

            width: parent.width - 50
            height: 35
            font.family: GlobalFont.name
            font.pixelSize: 16
            selectByMouse: true
            selectionColor: "#000000"
            selectedTextColor: "#ffffff"
            verticalAlignment: TextInput.AlignVCenter
            leftPadding: 5
            rightPadding: 5
            placeholderText: "2023/02/28 13:30"
            onAccepted: parent.accepted()
        }
    }

    ListModel {
        id: containsOnlyModel

        ListElement {
            filterRole: ""
        }
    }

    // Takes the focus away from an edited field while keeping it inside the window's panel.
    MouseArea {
        id: focusCatcher

        objectName: "focusCatcher"
        anchors.fill: parent
        onClicked: focusCatcher.forceActiveFocus()
    }

    Text {
        id: containsOnlyTitle

        objectName: "containsOnlyTitle"
        anchors.top: parent.top
        anchors.topMargin: 15
        anchors.left: parent.left
        anchors.leftMargin: 15
        anchors.right: parent.right
        anchors.rightMargin: 15
        height: 30
        font.family: GlobalFont.name
        font.pixelSize: 18
        color: "#c5c5c5"
        text: filterView.isOrMode ? qsTr("Contains only") : qsTr("Contains all")
    }

    ListView {
        id: containsOnlyListView

        objectName: "containsOnlyListView"
        anchors.top: containsOnlyTitle.bottom
        anchors.topMargin: 15
        anchors.left: parent.left
        anchors.leftMargin: 15
        anchors.right: parent.right
        anchors.rightMargin: 15
        height: 300
        model: containsOnlyModel

        delegate: Item {
            id: filterRow

            required property int index
            required property string filterRole

            width: containsOnlyListView.width
            height: 60

            TextField {
                id: containsOnlyTextField

                objectName: "containsOnlyTextField"
                y: 5
                width: parent.width
                height: 35
                font.family: GlobalFont.name
                font.pixelSize: 16
                selectByMouse: true
                selectionColor: "#000000"
                selectedTextColor: "#ffffff"
                verticalAlignment: TextInput.AlignVCenter
                leftPadding: 5
                rightPadding: 5
                text: filterRow.filterRole
                onAccepted: filterView.setFilterText(filterRow.index, text)
            }

            RoundButton {
                objectName: "btnRemoveFilter"
                anchors.verticalCenter: containsOnlyTextField.verticalCenter
                anchors.right: containsOnlyTextField.right
                anchors.rightMargin: 5
                width: 20
                height: 20
                radius: 10
                text: "x"
                font.family: GlobalFont.name
                font.pixelSize: 15
                font.bold: true
                onClicked: filterView.removeFilter(filterRow.index)
            }

            Rectangle {
                id: line

                y: 55
                width: parent.width
                height: 1
                color: "#ffffff"
            }

            Rectangle {
                anchors.centerIn: line
                width: 28
                height: 15
                color: "#34393d"

                CommonButton {
                    objectName: "btnMode"
                    anchors.fill: parent
                    text: filterView.isOrMode ? qsTr("OR") : qsTr("AND")
                    onClicked: filterView.toggleMode()
                }
            }
        }
    }

    RoundButton {
        id: btnAddContainsOnly

        objectName: "btnAddContainsOnly"
        anchors.bottom: containsOnlyTitle.bottom
        anchors.right: containsOnlyTitle.right
        anchors.rightMargin: 10
        width: 20
        height: 20
        radius: 10
        text: "+"
        font.family: GlobalFont.name
        font.pixelSize: 15
        font.bold: true
        onClicked: containsOnlyModel.append({ "filterRole": "" })
    }

    // The time range, above the errors-only switch: Enter in either field sends both.
    Column {
        id: dateRangeBlock

        objectName: "dateRangeBlock"
        anchors.bottom: bottomBlock.top
        anchors.bottomMargin: 10
        anchors.left: parent.left
        anchors.leftMargin: 15
        anchors.right: parent.right
        anchors.rightMargin: 15
        spacing: 5

        Text {
            width: parent.width
            height: 30
            font.family: GlobalFont.name
            font.pixelSize: 18
            color: "#c5c5c5"
            text: qsTr("Time range")
        }

        DateBound {
            id: fromBound

            width: dateRangeBlock.width
            label: qsTr("from")
            fieldName: "fromField"
            onAccepted: filterView.applyDateRange()
        }

        DateBound {
            id: toBound

            width: dateRangeBlock.width
            label: qsTr("to")
            fieldName: "toField"
            onAccepted: filterView.applyDateRange()
        }
    }

    Item {
        id: bottomBlock

        anchors.bottom: parent.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        height: 100

        Rectangle {
            id: bottomBlockTop

            anchors.top: parent.top
            width: parent.width
            height: 3
            color: "#ffffff"
        }

        CheckBox2 {
            id: errorsOnlyCheckBox

            objectName: "errorsOnlyCheckBox"
            anchors.top: bottomBlockTop.bottom
            anchors.topMargin: 10
            anchors.left: parent.left
            anchors.leftMargin: 15
            anchors.right: parent.right
            anchors.rightMargin: 15
            height: 30
            text: qsTr("Show only errors")
            onCheckedChanged: filterView.showOnlyErrors(checked)
        }

        Rectangle {
            id: bottomBlockSecondLine

            y: 50
            width: parent.width
            height: 3
            color: "#ffffff"
        }

        Text {
            anchors.top: bottomBlockSecondLine.bottom
            anchors.topMargin: 10
            anchors.left: parent.left
            anchors.leftMargin: 15
            anchors.right: parent.right
            anchors.rightMargin: 15
            height: 30
            font.family: GlobalFont.name
            font.pixelSize: 15
            color: "#c5c5c5"
            text: qsTr("Quick filters: ")
        }

        CommonButton {
            objectName: "btnNoRecording"
            anchors.top: bottomBlockSecondLine.bottom
            anchors.topMargin: 10
            anchors.right: parent.right
            anchors.rightMargin: 10
            width: 85
            height: 20
            borderWidth: 1
            borderColor: "#ffffff"
            text: qsTr("no recording")
            onClicked: filterView.applyNoRecording()
        }
    }
}

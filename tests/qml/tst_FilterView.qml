import QtQuick
import QtTest
import "qrc:/Kestrune/qml"

Item {
    id: root

    width: 300
    height: 600

    Component {
        id: filterViewComponent

        FilterView {
            anchors.fill: parent
        }
    }

    SignalSpy {
        id: onlySpy

        signalName: "containsOnly"
    }

    SignalSpy {
        id: allSpy

        signalName: "containsAll"
    }

    SignalSpy {
        id: errorsSpy

        signalName: "showOnlyErrors"
    }

    SignalSpy {
        id: rangeSpy

        signalName: "dateRange"
    }

    TestCase {
        id: testCase

        property var view

        function init() {
            view = createTemporaryObject(filterViewComponent, root);
            for (const spy of [onlySpy, allSpy, errorsSpy, rangeSpy]) {
                spy.target = view;
                spy.clear();
            }
            waitForRendering(view);
        }

        function child(name, parentItem) {
            return findChild(parentItem || view, name);
        }

        function row(index) {
            const list = child("containsOnlyListView");
            list.forceLayout();
            return list.itemAtIndex(index);
        }

        function field(index) {
            return child("containsOnlyTextField", row(index));
        }

        function enterText(index, text) {
            mouseClick(field(index));
            for (const character of text)
                keyClick(character);
            keyClick(Qt.Key_Return);
        }

        function rowTexts() {
            const texts = [];
            for (let i = 0; i < child("containsOnlyListView").count; ++i)
                texts.push(field(i).text);
            return texts;
        }

        name: "FilterView"
        when: windowShown

        function test_startsEmptyInOrModeAndSendsNothing() {
            compare(child("containsOnlyTitle").text, "Contains only");
            compare(rowTexts(), [""]);
            compare(child("btnMode", row(0)).text, "OR");
            verify(!child("errorsOnlyCheckBox").checked);
            compare(onlySpy.count + allSpy.count + errorsSpy.count, 0);
        }

        function test_enterSendsTheListWithEmptyTexts() {
            enterText(0, "");
            compare(onlySpy.count, 1);
            compare(onlySpy.signalArguments[0][0], [""]);

            mouseClick(child("btnAddContainsOnly"));
            mouseClick(child("btnAddContainsOnly"));
            compare(onlySpy.count, 1);
            enterText(1, "Queue");
            compare(onlySpy.count, 2);
            compare(onlySpy.signalArguments[1][0], ["", "Queue", ""]);
        }

        function test_unconfirmedTextIsNotSent() {
            mouseClick(field(0));
            keyClick("a");
            keyClick("b");
            mouseClick(child("btnMode", row(0)));
            compare(allSpy.count, 1);
            compare(allSpy.signalArguments[0][0], [""]);
            compare(field(0).text, "ab");
            mouseClick(field(0));
            keyClick(Qt.Key_Return);
            compare(allSpy.signalArguments[1][0], ["ab"]);
        }

        function test_removeSendsWhatRemains() {
            mouseClick(child("btnNoRecording"));
            mouseClick(child("btnRemoveFilter", row(1)));
            compare(onlySpy.signalArguments[1][0], ["queue full", "no proper storage"]);
            compare(rowTexts(), ["queue full", "no proper storage"]);

            mouseClick(child("btnRemoveFilter", row(0)));
            mouseClick(child("btnRemoveFilter", row(0)));
            compare(onlySpy.count, 4);
            compare(onlySpy.signalArguments[3][0], []);
            compare(child("containsOnlyListView").count, 0);
        }

        function test_modeSwitchOnEveryRowFlipsAllAndSends() {
            mouseClick(child("btnAddContainsOnly"));
            mouseClick(child("btnMode", row(1)));
            compare(child("containsOnlyTitle").text, "Contains all");
            compare(child("btnMode", row(0)).text, "AND");
            compare(allSpy.signalArguments[0][0], ["", ""]);
            mouseClick(child("btnMode", row(0)));
            compare(child("btnMode", row(1)).text, "OR");
            compare(onlySpy.signalArguments[0][0], ["", ""]);
            compare(allSpy.count, 1);
        }

        function test_noRecordingReplacesRowsAndReturnsToOrMode() {
            enterText(0, "kept?");
            mouseClick(child("btnMode", row(0)));
            mouseClick(child("btnNoRecording"));
            compare(child("containsOnlyTitle").text, "Contains only");
            compare(rowTexts(), ["queue full", "elapsed time", "no proper storage"]);
            compare(onlySpy.count, 2);
            compare(onlySpy.signalArguments[1][0], ["queue full", "elapsed time", "no proper storage"]);
        }

        // Clearing from the window's filter bar empties the page as its own controls would.
        function test_clearFiltersEmptiesThePageAndSendsIt() {
            enterText(0, "x");
            mouseClick(child("btnMode", row(0)));
            mouseClick(child("errorsOnlyCheckBox"));
            view.clearFilters();
            compare(rowTexts(), [""]);
            compare(child("containsOnlyTitle").text, "Contains only");
            compare(onlySpy.signalArguments[onlySpy.count - 1][0], [""]);
            verify(!child("errorsOnlyCheckBox").checked);
            compare(errorsSpy.signalArguments[errorsSpy.count - 1][0], false);
        }

        function test_errorsOnlySendsEachChange() {
            const checkBox = child("errorsOnlyCheckBox");
            mouseClick(checkBox);
            mouseClick(checkBox);
            compare(errorsSpy.count, 2);
            compare(errorsSpy.signalArguments[0][0], true);
            compare(errorsSpy.signalArguments[1][0], false);
            compare(onlySpy.count + allSpy.count, 0);
        }

        // Enter in either field sends both bounds as typed, and nothing else.
        function test_timeRangeFieldsSendBothBounds() {
            mouseClick(child("toField"));
            for (const character of "2023/02/28 14")
                keyClick(character);
            mouseClick(child("fromField"));
            for (const character of "2023/02/28 13:30")
                keyClick(character);
            compare(rangeSpy.count, 0);
            keyClick(Qt.Key_Return);
            compare(rangeSpy.count, 1);
            compare(Array.from(rangeSpy.signalArguments[0]), ["2023/02/28 13:30", "2023/02/28 14"]);
            child("fromField").clear();
            mouseClick(child("toField"));
            keyClick(Qt.Key_Enter);
            compare(Array.from(rangeSpy.signalArguments[1]), ["", "2023/02/28 14"]);
            compare(onlySpy.count + allSpy.count + errorsSpy.count, 0);
        }

        function test_clickOnEmptyPlaceEndsEditing() {
            mouseClick(field(0));
            verify(field(0).activeFocus);
            // Between the list of texts and the time range.
            mouseClick(view, view.width / 2, child("dateRangeBlock").y - 5);
            verify(!field(0).activeFocus);
            verify(child("focusCatcher").activeFocus);
        }
    }
}

import QtQuick
import QtTest
import "qrc:/Kestrune/qml"

Item {
    id: root

    width: 300
    height: 200

    TextInput {
        id: before

        width: 100
        height: 20
        focus: true
    }

    CheckBox2 {
        id: checkBox

        y: 40
        width: 200
        text: "Show only errors"
    }

    SignalSpy {
        id: checkedSpy

        target: checkBox
        signalName: "checkedChanged"
    }

    TestCase {
        name: "CheckBox2"
        when: windowShown

        function box() {
            return findChild(checkBox, "box")
        }

        function mark() {
            return findChild(checkBox, "mark")
        }

        function init() {
            checkBox.enabled = true
            checkBox.tristate = false
            checkBox.checked = false
            before.forceActiveFocus()
            checkedSpy.clear()
        }

        function test_clickTogglesWithoutTakingFocus() {
            mouseClick(checkBox, 15, 15)
            verify(checkBox.checked)
            compare(checkedSpy.count, 1)
            verify(!checkBox.activeFocus)
            verify(before.activeFocus)
            compare(box().border.color, Qt.rgba(0, 0, 0, 0))
            mouseClick(checkBox, 15, 15)
            verify(!checkBox.checked)
            compare(checkedSpy.count, 2)
        }

        function test_tabGivesFocusFrame() {
            keyClick(Qt.Key_Tab)
            verify(checkBox.activeFocus)
            compare(box().border.color, "#fed104")
            compare(box().border.width, 2)
            keyClick(Qt.Key_Space)
            verify(checkBox.checked)
        }

        function test_boxAndMarks() {
            compare(mark().source, "")
            checkBox.checked = true
            verify(mark().source.toString().endsWith("img/icon_global_checked.svg"))
            tryCompare(mark(), "status", Image.Ready)
            compare(mark().width, 30)
            compare(mark().x, -5)
            checkBox.tristate = true
            checkBox.checkState = Qt.PartiallyChecked
            verify(mark().source.toString().endsWith("img/btn_global_checkbox_partial.svg"))
            tryCompare(mark(), "status", Image.Ready)
            compare(mark().width, 20)
            compare(mark().x, 0)
        }

    }
}

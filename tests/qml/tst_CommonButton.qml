import QtQuick
import QtTest
import "qrc:/Kestrune/qml"

Item {
    id: root

    width: 300
    height: 200

    CommonButton {
        id: button

        width: 85
        height: 20
        text: "no recording"
    }

    CommonButton {
        id: framed

        y: 50
        width: 85
        height: 30
        text: "OR"
        checkable: true
        borderWidth: 1
    }

    SignalSpy {
        id: clickSpy

        target: button
        signalName: "clicked"
    }

    TestCase {
        name: "CommonButton"
        when: windowShown

        function veil(control) {
            return findChild(control, "veil")
        }

        function checkedBar(control) {
            return findChild(control, "checkedBar")
        }

        function init() {
            mouseMove(root, root.width - 1, root.height - 1)
            framed.checked = false
            clickSpy.clear()
        }

        function test_clickEmitsClicked() {
            mouseClick(button)
            compare(clickSpy.count, 1)
        }

        function test_veilWhileHoveredOrChecked() {
            verify(!veil(button).visible)
            mouseMove(button, 10, 10)
            tryVerify(() => veil(button).visible)
            fuzzyCompare(veil(button).opacity, 0.2, 0.001)
            mousePress(button, 10, 10)
            fuzzyCompare(veil(button).opacity, 0.4, 0.001)
            mouseRelease(button, 10, 10)
            mouseMove(root, root.width - 1, root.height - 1)
            tryVerify(() => !veil(button).visible)

            mouseClick(framed)
            verify(framed.checked)
            mouseMove(root, root.width - 1, root.height - 1)
            verify(veil(framed).visible)
        }

        function test_checkedBarAndFrame() {
            verify(!checkedBar(framed).visible)
            framed.checked = true
            const bar = checkedBar(framed)
            verify(bar.visible)
            compare(bar.height, 5)
            compare(bar.width, framed.width)
            compare(bar.y, framed.height - 5)
            compare(bar.color, "#3498db")
            compare(framed.background.border.width, 1)
            compare(framed.background.border.color, "#ffffff")
            compare(button.background.border.width, 0)
        }
    }
}

import QtQuick
import QtTest
import "qrc:/Kestrune/qml"

Item {
    id: root

    width: 400
    height: 200

    FindNextPanel {
        id: panel
    }

    SignalSpy {
        id: findNextSpy

        target: panel
        signalName: "findNext"
    }

    SignalSpy {
        id: findDateSpy

        target: panel
        signalName: "findDate"
    }

    TestCase {
        name: "FindNextPanel"
        when: windowShown

        function textField() {
            return findChild(panel, "findTextField")
        }

        function dateField() {
            return findChild(panel, "findDateField")
        }

        function typeText(text) {
            for (const c of text)
                keyClick(c)
        }

        function init() {
            panel.visible = true
            textField().text = ""
            dateField().text = ""
            findNextSpy.clear()
            findDateSpy.clear()
        }

        function test_enterEmitsTextAsTyped() {
            panel.setFocusOnTextField()
            verify(textField().activeFocus)
            keyClick(Qt.Key_Space)
            typeText("Err")
            keyClick(Qt.Key_Return)
            compare(findNextSpy.count, 1)
            compare(findNextSpy.signalArguments[0][0], " Err")
            keyClick(Qt.Key_Enter)
            compare(findNextSpy.count, 2)
            compare(findNextSpy.signalArguments[1][0], " Err")
            verify(textField().activeFocus)
            compare(findDateSpy.count, 0)
        }

        function test_emptyFieldsEmitEmptyTexts() {
            panel.setFocusOnTextField()
            keyClick(Qt.Key_Return)
            compare(findNextSpy.signalArguments[0][0], "")
            mouseClick(dateField())
            verify(dateField().activeFocus)
            keyClick(Qt.Key_Return)
            compare(findDateSpy.count, 1)
            compare(findDateSpy.signalArguments[0][0], "")
        }

        function test_dateTextIsNotChecked() {
            mouseClick(dateField())
            typeText("2023/99/99 x")
            keyClick(Qt.Key_Enter)
            compare(findDateSpy.signalArguments[0][0], "2023/99/99 x")
            compare(findNextSpy.count, 0)
        }

        function test_textsStayWhileHidden() {
            textField().text = "needle"
            dateField().text = "2023/02/28"
            mouseClick(dateField())
            panel.visible = false
            panel.visible = true
            panel.setFocusOnTextField()
            verify(textField().activeFocus)
            compare(textField().text, "needle")
            compare(textField().selectedText, "")
            compare(dateField().text, "2023/02/28")
        }

        function test_clicksOnFreeAreaStayInPanel() {
            const behind = createTemporaryQmlObject(
                "import QtQuick; MouseArea { anchors.fill: parent; property int clicks: 0; onClicked: clicks++ }",
                root)
            behind.z = -1
            mouseClick(panel, 5, 55)
            mouseClick(panel, 335, 105)
            compare(behind.clicks, 0)
            mouseClick(root, 390, 190)
            compare(behind.clicks, 1)
        }
    }
}

import QtQuick
import QtQuick.Controls
import QtTest
import "qrc:/Kestrune/qml"

Item {
    id: root

    width: 400
    height: 100

    property FileTab tab

    // Dark, so that the white label shows wherever it is drawn.
    Rectangle {
        anchors.fill: parent
        color: "#000000"
    }

    Component {
        id: tabComponent

        FileTab {
            width: 135
            height: 50
            text: "Recorder"
        }
    }

    TextMetrics {
        id: metrics

        text: "<b>Web</b> &amp;"
    }

    SignalSpy {
        id: switchSpy

        target: root.tab
        signalName: "switchToTab"
    }

    SignalSpy {
        id: closeSpy

        target: root.tab
        signalName: "closeTab"
    }

    TestCase {
        name: "FileTab"
        when: windowShown

        function currentBackground() {
            return findChild(tab, "currentBackground")
        }

        function hoverOverlay() {
            return findChild(tab, "hoverOverlay")
        }

        function label() {
            return findChild(tab, "label")
        }

        function closeButton() {
            return findChild(tab, "btnClose")
        }

        // A fresh tab for each test: after a synthetic click a hover-enabled mouse area keeps
        // reporting the mouse inside it.
        function init() {
            mouseMove(root, root.width - 1, root.height - 1)
            tab = createTemporaryObject(tabComponent, root)
            switchSpy.clear()
            closeSpy.clear()
        }

        function test_currentTabTakesRecordBackground() {
            verify(!currentBackground().visible)
            tab.isCurrentIndex = true
            verify(currentBackground().visible)
            compare(currentBackground().color, "#2b3033")
        }

        function test_hoverOverlay() {
            verify(!hoverOverlay().visible)
            mouseMove(tab, 30, 25)
            verify(hoverOverlay().visible)
            compare(hoverOverlay().opacity, 0.3)
            mouseMove(closeButton(), 7, 7)
            verify(hoverOverlay().visible)
            mouseMove(root, root.width - 1, root.height - 1)
            verify(!hoverOverlay().visible)
        }

        function test_clicksEmitOneSignalEach() {
            mouseClick(tab, 30, 25)
            compare(switchSpy.count, 1)
            compare(closeSpy.count, 0)
            mouseClick(closeButton())
            compare(closeSpy.count, 1)
            compare(switchSpy.count, 1)
        }

        // A long name is cut with "…" inside its tab, clear of the close button, and shown
        // whole in the tooltip; no pixel of it lands outside the tab.
        function test_longLabelElidedInsideItsTab() {
            tab.x = 100
            tab.text = "L".repeat(100)
            waitForRendering(tab)
            compare(label().font.pixelSize, 14)
            verify(label().truncated)
            verify(label().x + label().width <= closeButton().x)
            const image = grabImage(root)
            let inside = 0
            for (let y = 0; y < tab.height; ++y) {
                for (let x = 0; x < root.width; ++x) {
                    const white = image.pixel(x, y).r > 0.6
                    if (x >= tab.x && x < tab.x + tab.width)
                        inside += white ? 1 : 0
                    else
                        verify(!white, "text at " + x + "," + y)
                }
            }
            verify(inside > 100, "label drawn: " + inside)
            mouseMove(tab, 30, 25)
            const mouseArea = findChild(tab, "tabMouseArea")
            tryVerify(() => mouseArea.ToolTip.visible)
            compare(mouseArea.ToolTip.text, tab.text)
        }

        function test_labelShownAsWritten() {
            metrics.font = label().font
            tab.text = metrics.text
            fuzzyCompare(label().implicitWidth, metrics.advanceWidth, 1)
        }
    }
}

import QtQuick
import QtTest
import "qrc:/Kestrune/qml"

Item {
    id: root

    width: 200
    height: 100

    Rectangle {
        anchors.fill: button
        color: "#2b3033"
    }

    ImageButton {
        id: button

        imageSource: "qrc:/Kestrune/qml/img/icon_global_search_white.svg"
        backgroundBorderWidth: 1
    }

    SignalSpy {
        id: clickSpy

        target: button
        signalName: "clicked"
    }

    TestCase {
        name: "ImageButton"
        when: windowShown

        function icon() {
            return findChild(button, "icon")
        }

        function disabledVeil() {
            return findChild(button, "disabledVeil")
        }

        function hoverVeil() {
            return findChild(button, "hoverVeil")
        }

        function init() {
            button.enabled = true
            mouseMove(root, root.width - 1, root.height - 1)
            clickSpy.clear()
        }

        function test_magnifierDrawnWhite() {
            tryCompare(icon(), "status", Image.Ready)
            waitForRendering(button)
            const image = grabImage(button)
            // On the ring, in its hole, and on the handle.
            const white = c => c.r > 0.9 && c.g > 0.9 && c.b > 0.9
            verify(white(image.pixel(13, 10)))
            verify(!white(image.pixel(13, 14)))
            compare(image.pixel(13, 14), "#2b3033")
            verify(white(image.pixel(19, 18)))
        }

        function test_pressDarkensAndHoverVeils() {
            compare(button.background.color, Qt.rgba(0, 0, 0, 0))
            mouseMove(button, 15, 15)
            tryVerify(() => hoverVeil().visible)
            compare(hoverVeil().color, "#0f000000")
            mousePress(button, 15, 15)
            compare(button.background.color, "#33000000")
            mouseRelease(button, 15, 15)
            compare(clickSpy.count, 1)
            verify(!disabledVeil().visible)
        }

        function test_disabledShowsWhiteVeilAndNoHoverVeil() {
            button.enabled = false
            verify(disabledVeil().visible)
            compare(disabledVeil().color, "#acffffff")
            compare(disabledVeil().width, 30)
            mouseMove(button, 15, 15)
            verify(!hoverVeil().visible)
            mouseClick(button)
            compare(clickSpy.count, 0)
        }
    }
}

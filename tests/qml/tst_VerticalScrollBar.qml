import QtQuick
import QtQuick.Controls
import QtTest
import "qrc:/Kestrune/qml"

Item {
    id: root

    width: 300
    height: 400

    ListView {
        id: list

        x: 20
        y: 10
        width: 200
        height: 300
        model: 3
        delegate: Rectangle {
            width: list.width
            height: 30
        }
        ScrollBar.vertical: VerticalScrollBar {
            id: bar

            attachedView: list
        }
    }

    TestCase {
        name: "VerticalScrollBar"
        when: windowShown

        function init() {
            list.model = 3
        }

        function test_placedAlongRightEdgeOfView() {
            compare(bar.parent, root)
            compare(bar.width, 10)
            compare(bar.x, list.x + list.width - 1 - 10)
            compare(bar.y, list.y + 15)
            compare(bar.height, list.height - 30)
            compare(bar.barRadius, 5)
            compare(bar.stepSize, 0.05)
        }

        function test_handleOnlyWhileContentOverflows() {
            verify(!bar.showScrollBar)
            verify(!bar.contentItem.visible)
            list.model = 100
            tryVerify(() => bar.showScrollBar)
            verify(bar.contentItem.visible)
            compare(bar.contentItem.color, "#cfcfcf")
            list.positionViewAtEnd()
            tryVerify(() => bar.position > 0.8)
        }
    }
}

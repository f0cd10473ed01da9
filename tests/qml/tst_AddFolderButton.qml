import QtQuick
import QtTest
import "qrc:/Kestrune/qml"

Item {
    id: root

    width: 300
    height: 100

    Rectangle {
        anchors.fill: parent
        color: "#34393d"
    }

    AddFolderButton {
        id: button
    }

    TestCase {
        name: "AddFolderButton"
        when: windowShown

        function test_onlyFrameIsDrawn() {
            compare(button.width, 150)
            compare(button.height, 35)
            compare(button.text, "My client")
            waitForRendering(button)
            const image = grabImage(button)
            // The frame is white; inside it nothing but the background, so no text.
            compare(image.pixel(0, 17), "#ffffff")
            for (let x = 2; x < 148; x += 3) {
                for (let y = 2; y < 33; y += 3)
                    compare(image.pixel(x, y), "#34393d")
            }
        }

    }
}

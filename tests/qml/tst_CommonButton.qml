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

    SignalSpy {
        id: clickSpy

        target: button
        signalName: "clicked"
    }

    TestCase {
        name: "CommonButton"
        when: windowShown

        function test_clickEmitsClicked() {
            mouseClick(button)
            compare(clickSpy.count, 1)
        }
    }
}

import QtQuick
import QtTest
import "qrc:/Kestrune/qml"
import "qrc:/Kestrune/qml/fonts"

// Runs with globalFont=default and a style file that sets the message font, size and colour.
Item {
    width: 1000
    height: 100

    LogDelegate {
        id: row

        width: 1000
        height: 30
        message: "text"
        logType: "Info"
    }

    TestCase {
        name: "LogFont"
        when: windowShown

        function column(name) {
            return findChild(row, name)
        }

        function test_defaultWordSelectsRoboto() {
            verify(GlobalFont.useDefaultFont)
            compare(GlobalFont.name, "Roboto")
        }

        function test_styleChangesOnlyMessageColumn() {
            compare(LogFont.name, "DejaVu Sans")
            compare(column("messageText").font.family, "DejaVu Sans")
            compare(column("messageText").font.pixelSize, 18)
            compare(column("messageText").color, "#00ff00")
            compare(column("dateTimeText").font.family, "Roboto")
            compare(column("moduleText").font.family, "Roboto")
        }
    }
}

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

        function column(i) {
            return row.children[1].children[i]
        }

        function test_defaultWordSelectsRoboto() {
            verify(GlobalFont.useDefaultFont)
            compare(GlobalFont.name, "Roboto")
        }

        function test_styleChangesOnlyMessageColumn() {
            compare(LogFont.name, "DejaVu Sans")
            compare(column(2).font.family, "DejaVu Sans")
            compare(column(2).font.pixelSize, 18)
            compare(column(2).color, "#00ff00")
            compare(column(1).font.family, "Roboto")
            compare(column(3).font.family, "Roboto")
        }
    }
}

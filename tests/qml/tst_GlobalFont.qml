import QtQuick
import QtTest
import "qrc:/Kestrune/qml"
import "qrc:/Kestrune/qml/fonts"

// Runs with the setting globalFont=Default: only the exact lower-case word selects Roboto.
Item {
    width: 200
    height: 100

    CommonButton {
        id: button

        text: "OR"
    }

    TestCase {
        name: "GlobalFont"
        when: windowShown

        function test_capitalisedDefaultIsAFamilyName() {
            compare(GlobalFont.userFontName, "Default")
            verify(!GlobalFont.useDefaultFont)
            compare(GlobalFont.name, "Default")
            compare(button.font.family, "Default")
        }

        function test_logFontUnaffected() {
            verify(LogFont.useDefaultFont)
            compare(LogFont.name, "Roboto")
        }
    }
}

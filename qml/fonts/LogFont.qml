pragma Singleton
import QtQuick

Item {
    readonly property string userFontName: kestruneCore.getStyle("logFont", "")
    readonly property bool useDefaultFont: userFontName === "" || userFontName === "default"
    property string name: useDefaultFont ? defaultFontLoader.name : userFontName

    FontLoader {
        id: defaultFontLoader

        source: "./Roboto-Regular.ttf"
    }
}

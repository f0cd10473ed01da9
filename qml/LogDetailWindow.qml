import QtQuick
import QtQuick.Window

Window {
    width: 800
    height: 440
}

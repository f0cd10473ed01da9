import QtQuick
import QtQuick.Controls

TabButton {
}

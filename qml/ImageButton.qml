import QtQuick
import QtQuick.Controls

AbstractButton {
}

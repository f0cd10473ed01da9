import QtQuick
import QtQuick.Controls.Material

ScrollBar {
}

import QtQuick
import QtQuick.Controls

CheckBox {
}

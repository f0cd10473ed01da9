import QtQuick
import QtQuick.Controls

Button {
}

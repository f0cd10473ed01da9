import QtQuick

FocusScope {
}

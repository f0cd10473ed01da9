import QtQuick

Item {
    width: undefinedDimension
    NoSuchType {}
}

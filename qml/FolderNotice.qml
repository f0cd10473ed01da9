import QtQuick
import "./fonts"

// A line under a folder's header in the folder list: how far its scan has got, or what the
// scan passed over. Takes no room when empty.
Text {
    visible: text !== ""
    leftPadding: 15
    rightPadding: 15
    bottomPadding: 8
    wrapMode: Text.Wrap
    textFormat: Text.PlainText
    font.family: GlobalFont.name
    font.pixelSize: 13
    color: "#ffd27f"
}

import QtQuick

// Marks, over a one-line Text of the same parent, the first occurrence of a text in any
// letter case; hidden when there is none or when it lies in the part cut off by an ellipsis.
Rectangle {
    id: root

    required property Text target
    property string needle: ""
    readonly property int at: needle === "" ? -1 : target.text.toLowerCase().indexOf(
                                                      needle.toLowerCase())
    // Where the text itself begins inside its item, for a centred column.
    readonly property real textStart: target.horizontalAlignment === Text.AlignHCenter
                                      ? (target.width - whole.advanceWidth) / 2 : 0

    objectName: "matchHighlight"
    x: target.x + textStart + before.advanceWidth
    y: target.y + (target.height - height) / 2
    width: match.advanceWidth
    height: match.height + 2
    visible: at >= 0 && (target.elide === Text.ElideNone || x + width <= target.x + target.width)
    color: kestruneCore.getStyle("matchHighlightColor", "#f1c40f")
    opacity: 0.45
    radius: 2

    TextMetrics {
        id: whole

        font: root.target.font
        text: root.target.text
    }

    TextMetrics {
        id: before

        font: root.target.font
        text: root.at < 0 ? "" : root.target.text.substring(0, root.at)
    }

    TextMetrics {
        id: match

        font: root.target.font
        text: root.at < 0 ? "" : root.target.text.substring(root.at, root.at + root.needle.length)
    }
}

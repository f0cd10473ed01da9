import QtQuick

// Marks, over a one-line Text of the same parent, the first few occurrences of a text in any
// letter case; an occurrence in the part cut off by an ellipsis is not marked. A mark draws
// the matched characters again, dark on an opaque colour, so that it reads on every row,
// error rows included.
Item {
    id: root

    required property Text target
    property string needle: ""
    readonly property var positions: occurrences(target.text, needle)
    // Where the text itself begins inside its item, for a centred column.
    readonly property real textStart: target.horizontalAlignment === Text.AlignHCenter
                                      ? (target.width - whole.advanceWidth) / 2 : 0

    // Where the needle begins in text, in any letter case, at most eight times.
    function occurrences(text, needle) {
        const found = [];
        if (needle === "")
            return found;
        const hay = text.toLowerCase();
        const lowerNeedle = needle.toLowerCase();
        for (let at = hay.indexOf(lowerNeedle); at >= 0 && found.length < 8;
             at = hay.indexOf(lowerNeedle, at + lowerNeedle.length))
            found.push(at);
        return found;
    }

    objectName: "matchHighlight"
    anchors.fill: parent

    TextMetrics {
        id: whole

        font: root.target.font
        text: root.target.text
    }

    Repeater {
        model: root.positions

        Rectangle {
            id: mark

            required property int modelData

            objectName: "matchMark"
            x: root.target.x + root.textStart + before.advanceWidth
            y: root.target.y + (root.target.height - height) / 2
            width: match.advanceWidth
            height: match.height + 2
            visible: root.target.elide === Text.ElideNone
                     || x + width <= root.target.x + root.target.width - ellipsis.advanceWidth
            color: kestruneCore.getStyle("matchHighlightColor", "#f1c40f")
            radius: 2

            Text {
                anchors.centerIn: parent
                text: match.text
                textFormat: Text.PlainText
                font: root.target.font
                color: kestruneCore.getStyle("matchTextColor", "#1b1b1b")
            }

            TextMetrics {
                id: before

                font: root.target.font
                text: root.target.text.substring(0, mark.modelData)
            }

            TextMetrics {
                id: match

                font: root.target.font
                text: root.target.text.substring(mark.modelData,
                                                 mark.modelData + root.needle.length)
            }

            TextMetrics {
                id: ellipsis

                font: root.target.font
                text: root.target.truncated ? "\u2026" : ""
            }
        }
    }
}

import QtQuick
import QtQuick.Window

Window {
    id: rootWindow

    width: 1536
    height: 864
    visible: true
    // "Server — Kestrune" while a log's tab is current.
    title: mainPanel.currentLogName === "" ? qsTr("Kestrune") : qsTr("%1 — Kestrune").arg(mainPanel.currentLogName)

    MainPanel {
        id: mainPanel

        objectName: "mainPanel"
        scale: mainPanel.boundedScale(kestruneCore.getSetting("scale", 1.0))
        transformOrigin: Item.TopLeft
        width: Math.floor(rootWindow.width / mainPanel.scale)
        height: Math.floor(rootWindow.height / mainPanel.scale)
    }
}

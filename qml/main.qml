import QtQuick
import QtQuick.Window

Window {
    id: rootWindow

    // No larger than the screen leaves free, so that the whole window shows.
    width: Math.min(1536, Screen.desktopAvailableWidth > 0 ? Screen.desktopAvailableWidth : 1536)
    height: Math.min(864, Screen.desktopAvailableHeight > 0 ? Screen.desktopAvailableHeight : 864)
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

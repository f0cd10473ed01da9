import QtQuick

// The reading keys of the file view, each mapped to what it asks for; the view acts on the
// signals. Escape, F3 and the tab keys apply anywhere in the view, the rest only while the
// record list has the keyboard focus, so that the find panel's fields keep their own keys.
QtObject {
    property bool listHasFocus: false
    property int rowsPerPage: 1

    signal moveBy(int rows, bool extend)
    signal moveToEnd(bool last, bool extend)
    signal showDetails
    signal copySelection
    signal closeTopmost
    signal find(bool backwards)
    signal switchTab(int step)
    signal closeTab
    signal toggleFollow

    // Emits what the key asks for; true when it was one of the reading keys.
    function handle(event) {
        const control = (event.modifiers & Qt.ControlModifier) !== 0;
        const shift = (event.modifiers & Qt.ShiftModifier) !== 0;
        switch (event.key) {
        case Qt.Key_Escape:
            closeTopmost();
            return true;
        case Qt.Key_F3:
            find(shift);
            return true;
        case Qt.Key_Tab:
        case Qt.Key_Backtab:
            if (control)
                switchTab(shift || event.key === Qt.Key_Backtab ? -1 : 1);
            return control;
        case Qt.Key_W:
            if (control)
                closeTab();
            return control;
        }
        return listHasFocus && handleListKey(event.key, control, shift);
    }

    function handleListKey(key, control, shift) {
        switch (key) {
        case Qt.Key_Up:
            moveBy(-1, shift);
            return true;
        case Qt.Key_Down:
            moveBy(1, shift);
            return true;
        case Qt.Key_PageUp:
            moveBy(-rowsPerPage, shift);
            return true;
        case Qt.Key_PageDown:
            moveBy(rowsPerPage, shift);
            return true;
        case Qt.Key_Home:
        case Qt.Key_End:
            moveToEnd(key === Qt.Key_End, shift);
            return true;
        case Qt.Key_Return:
        case Qt.Key_Enter:
            showDetails();
            return true;
        case Qt.Key_C:
            if (control)
                copySelection();
            return control;
        case Qt.Key_F:
            if (!control)
                toggleFollow();
            return !control;
        }
        return false;
    }
}

// Shotcut lists a filter only when it has a folder like this one under
// share/shotcut/qml/filters/: the description here, the panel in ui.qml.
import QtQuick 2.0
import org.shotcut.qml 1.0

Metadata {
    type: Metadata.Filter
    name: qsTr("Velto white balance")
    keywords: qsTr('white balance colour color cast neutral automatic', 'search keywords for the Velto video filter') + ' velto'
    mlt_service: "frei0r.velto"
    qml: "ui.qml"
}

// The effect's six frei0r parameters, set by index: the levels 0 to 2 and
// Steady 3 as 0..1 numbers (shown as levels 1 to 40 and seconds), Neutral 4 a
// bool, Strength 5 a share shown in percent. The filter's `threads` property
// is never set: MLT would cut each frame into strips, each measured on its own.
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import Shotcut.Controls 1.0 as Shotcut

Item {
    // the defaults, in the effect's own units
    property double levelDefault: 0.5
    property double steadyDefault: 0
    property bool neutralDefault: true
    property double strengthDefault: 1

    function setControls() {
        neutralCheck.checked = filter.getDouble('4') >= 0.5;
        strengthSlider.value = filter.getDouble('5') * 100;
        levelR.value = Math.round(filter.getDouble('0') * 40);
        levelG.value = Math.round(filter.getDouble('1') * 40);
        levelB.value = Math.round(filter.getDouble('2') * 40);
        steadySlider.value = filter.getDouble('3') * 10;
    }

    width: 350
    height: 230
    Component.onCompleted: {
        if (filter.isNew) {
            filter.set('0', levelDefault);
            filter.set('1', levelDefault);
            filter.set('2', levelDefault);
            filter.set('3', steadyDefault);
            filter.set('4', neutralDefault ? 1 : 0);
            filter.set('5', strengthDefault);
            filter.savePreset(preset.parameters);
        }
        setControls();
    }

    GridLayout {
        columns: 3
        anchors.fill: parent
        anchors.margins: 8

        Label {
            text: qsTr('Preset')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.Preset {
            id: preset

            Layout.columnSpan: 2
            parameters: ['0', '1', '2', '3', '4', '5']
            onPresetSelected: setControls()
        }

        Label {
            text: qsTr('Method')
            Layout.alignment: Qt.AlignRight
        }

        CheckBox {
            id: neutralCheck

            text: qsTr('Neutral (off: the classic stretch)')
            onClicked: filter.set('4', checked ? 1 : 0)
        }

        Shotcut.UndoButton {
            onClicked: {
                neutralCheck.checked = neutralDefault;
                filter.set('4', neutralDefault ? 1 : 0);
            }
        }

        Label {
            text: qsTr('Strength')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: strengthSlider

            enabled: neutralCheck.checked
            minimumValue: 0
            maximumValue: 100
            suffix: ' %'
            onValueChanged: filter.set('5', value / 100)
        }

        Shotcut.UndoButton {
            onClicked: strengthSlider.value = strengthDefault * 100
        }

        Label {
            text: qsTr('Red level')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: levelR

            enabled: !neutralCheck.checked
            minimumValue: 1
            maximumValue: 40
            onValueChanged: filter.set('0', value / 40)
        }

        Shotcut.UndoButton {
            onClicked: levelR.value = levelDefault * 40
        }

        Label {
            text: qsTr('Green level')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: levelG

            enabled: !neutralCheck.checked
            minimumValue: 1
            maximumValue: 40
            onValueChanged: filter.set('1', value / 40)
        }

        Shotcut.UndoButton {
            onClicked: levelG.value = levelDefault * 40
        }

        Label {
            text: qsTr('Blue level')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: levelB

            enabled: !neutralCheck.checked
            minimumValue: 1
            maximumValue: 40
            onValueChanged: filter.set('2', value / 40)
        }

        Shotcut.UndoButton {
            onClicked: levelB.value = levelDefault * 40
        }

        Label {
            text: qsTr('Steady')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: steadySlider

            minimumValue: 0
            maximumValue: 10
            decimals: 1
            suffix: ' s'
            onValueChanged: filter.set('3', value / 10)
        }

        Shotcut.UndoButton {
            onClicked: steadySlider.value = steadyDefault * 10
        }

        Item {
            Layout.fillHeight: true
        }
    }
}

import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import Shotcut.Controls 1.0 as Shotcut

// The controls of the Umbrawash filter: the amounts and the rectangle's edges in percent
// (the filter's parameters are 0..1), each with keyframes, and "Use saved settings", which
// makes the filter ignore them.
Shotcut.KeyframableFilter {
    property string useSavedParam: 'Use saved settings'
    property var defaultValues: [1, 1, 1, 0, 0, 1, 1]

    function sliders() {
        return [redSlider, greenSlider, blueSlider, leftSlider, topSlider, rightSlider, bottomSlider];
    }

    function keyframesButtons() {
        return [redKeyframesButton, greenKeyframesButton, blueKeyframesButton, leftKeyframesButton, topKeyframesButton, rightKeyframesButton, bottomKeyframesButton];
    }

    function setControls() {
        var position = getPosition();
        var s = sliders(), k = keyframesButtons();
        blockUpdate = true;
        for (var i = 0; i < keyframableParameters.length; i++) {
            s[i].value = filter.getDouble(keyframableParameters[i], position) * 100;
            k[i].checked = filter.animateIn <= 0 && filter.animateOut <= 0 && filter.keyframeCount(keyframableParameters[i]) > 0;
        }
        useSavedCheckBox.checked = filter.get(useSavedParam) === '1';
        blockUpdate = false;
        enableControls(isSimpleKeyframesActive());
    }

    function enableControls(enabled) {
        var s = sliders();
        for (var i = 0; i < s.length; i++)
            s[i].enabled = enabled && !useSavedCheckBox.checked;
    }

    function updateSimpleKeyframes() {
        setControls();
        var s = sliders(), k = keyframesButtons();
        for (var i = 0; i < keyframableParameters.length; i++)
            updateFilter(keyframableParameters[i], s[i].value / 100, k[i], null);
    }

    function setValue(index, value) {
        updateFilter(keyframableParameters[index], value / 100, keyframesButtons()[index], getPosition());
    }

    function setKeyframes(index, checked) {
        enableControls(true);
        toggleKeyframes(checked, keyframableParameters[index], sliders()[index].value / 100);
    }

    keyframableParameters: ['Red amount', 'Green amount', 'Blue amount', 'Left', 'Top', 'Right', 'Bottom']
    startValues: [1, 1, 1, 0, 0, 1, 1]
    middleValues: [1, 1, 1, 0, 0, 1, 1]
    endValues: [1, 1, 1, 0, 0, 1, 1]
    width: 350
    height: 275
    Component.onCompleted: {
        if (filter.isNew) {
            for (var i = 0; i < keyframableParameters.length; i++)
                filter.set(keyframableParameters[i], defaultValues[i]);
            filter.set(useSavedParam, 0);
            filter.savePreset(preset.parameters);
        }
        setControls();
    }

    GridLayout {
        anchors.fill: parent
        anchors.margins: 8
        columns: 4

        Label {
            text: qsTr('Preset')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.Preset {
            id: preset

            parameters: keyframableParameters.concat([useSavedParam])
            Layout.columnSpan: 3
            onBeforePresetLoaded: resetSimpleKeyframes()
            onPresetSelected: {
                setControls();
                initializeSimpleKeyframes();
            }
        }

        Label {
            text: qsTr('Red')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: redSlider

            minimumValue: 0
            maximumValue: 100
            stepSize: 1
            decimals: 0
            suffix: ' %'
            onValueChanged: setValue(0, value)
        }

        Shotcut.UndoButton {
            onClicked: redSlider.value = defaultValues[0] * 100
        }

        Shotcut.KeyframesButton {
            id: redKeyframesButton

            onToggled: setKeyframes(0, checked)
        }

        Label {
            text: qsTr('Green')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: greenSlider

            minimumValue: 0
            maximumValue: 100
            stepSize: 1
            decimals: 0
            suffix: ' %'
            onValueChanged: setValue(1, value)
        }

        Shotcut.UndoButton {
            onClicked: greenSlider.value = defaultValues[1] * 100
        }

        Shotcut.KeyframesButton {
            id: greenKeyframesButton

            onToggled: setKeyframes(1, checked)
        }

        Label {
            text: qsTr('Blue')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: blueSlider

            minimumValue: 0
            maximumValue: 100
            stepSize: 1
            decimals: 0
            suffix: ' %'
            onValueChanged: setValue(2, value)
        }

        Shotcut.UndoButton {
            onClicked: blueSlider.value = defaultValues[2] * 100
        }

        Shotcut.KeyframesButton {
            id: blueKeyframesButton

            onToggled: setKeyframes(2, checked)
        }

        Label {
            text: qsTr('Left')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: leftSlider

            minimumValue: 0
            maximumValue: 100
            stepSize: 0.1
            decimals: 1
            suffix: ' %'
            onValueChanged: setValue(3, value)
        }

        Shotcut.UndoButton {
            onClicked: leftSlider.value = defaultValues[3] * 100
        }

        Shotcut.KeyframesButton {
            id: leftKeyframesButton

            onToggled: setKeyframes(3, checked)
        }

        Label {
            text: qsTr('Top')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: topSlider

            minimumValue: 0
            maximumValue: 100
            stepSize: 0.1
            decimals: 1
            suffix: ' %'
            onValueChanged: setValue(4, value)
        }

        Shotcut.UndoButton {
            onClicked: topSlider.value = defaultValues[4] * 100
        }

        Shotcut.KeyframesButton {
            id: topKeyframesButton

            onToggled: setKeyframes(4, checked)
        }

        Label {
            text: qsTr('Right')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: rightSlider

            minimumValue: 0
            maximumValue: 100
            stepSize: 0.1
            decimals: 1
            suffix: ' %'
            onValueChanged: setValue(5, value)
        }

        Shotcut.UndoButton {
            onClicked: rightSlider.value = defaultValues[5] * 100
        }

        Shotcut.KeyframesButton {
            id: rightKeyframesButton

            onToggled: setKeyframes(5, checked)
        }

        Label {
            text: qsTr('Bottom')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: bottomSlider

            minimumValue: 0
            maximumValue: 100
            stepSize: 0.1
            decimals: 1
            suffix: ' %'
            onValueChanged: setValue(6, value)
        }

        Shotcut.UndoButton {
            onClicked: bottomSlider.value = defaultValues[6] * 100
        }

        Shotcut.KeyframesButton {
            id: bottomKeyframesButton

            onToggled: setKeyframes(6, checked)
        }

        Item {
            width: 1
        }

        CheckBox {
            id: useSavedCheckBox

            text: qsTr('Use saved settings')
            Layout.columnSpan: 3
            onClicked: {
                filter.set(useSavedParam, checked ? 1 : 0);
                enableControls(isSimpleKeyframesActive());
            }
        }

        Item {
            Layout.fillHeight: true
        }

    }

    Connections {
        function onChanged() {
            setControls();
        }

        function onInChanged() {
            updateSimpleKeyframes();
        }

        function onOutChanged() {
            updateSimpleKeyframes();
        }

        function onAnimateInChanged() {
            updateSimpleKeyframes();
        }

        function onAnimateOutChanged() {
            updateSimpleKeyframes();
        }

        function onPropertyChanged(name) {
            setControls();
        }

        target: filter
    }

    Connections {
        function onPositionChanged() {
            setControls();
        }

        target: producer
    }

}

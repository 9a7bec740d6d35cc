import QtQuick 2.0
import org.shotcut.qml 1.0

// Umbrawash in Shotcut's list of video filters. The properties are the frei0r filter's
// parameters by name, each 0..1; ui.qml shows them in percent.
Metadata {
    type: Metadata.Filter
    name: qsTr('Umbrawash')
    keywords: qsTr('invert negative colour color rectangle channel', 'search keywords for the Umbrawash video filter') + ' umbrawash'
    mlt_service: 'frei0r.umbrawash'
    objectName: 'umbrawash'
    qml: 'ui.qml'

    keyframes {
        allowAnimateIn: true
        allowAnimateOut: true
        simpleProperties: ['Red amount', 'Green amount', 'Blue amount', 'Left', 'Top', 'Right', 'Bottom']
        parameters: [
            Parameter {
                name: qsTr('Red')
                property: 'Red amount'
                isCurve: true
                minimum: 0
                maximum: 1
            },
            Parameter {
                name: qsTr('Green')
                property: 'Green amount'
                isCurve: true
                minimum: 0
                maximum: 1
            },
            Parameter {
                name: qsTr('Blue')
                property: 'Blue amount'
                isCurve: true
                minimum: 0
                maximum: 1
            },
            Parameter {
                name: qsTr('Left')
                property: 'Left'
                isCurve: true
                minimum: 0
                maximum: 1
            },
            Parameter {
                name: qsTr('Top')
                property: 'Top'
                isCurve: true
                minimum: 0
                maximum: 1
            },
            Parameter {
                name: qsTr('Right')
                property: 'Right'
                isCurve: true
                minimum: 0
                maximum: 1
            },
            Parameter {
                name: qsTr('Bottom')
                property: 'Bottom'
                isCurve: true
                minimum: 0
                maximum: 1
            }
        ]
    }

}

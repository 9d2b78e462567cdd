pragma Singleton

// The colours and text sizes every layout of the module shares: the system palette's, and the tints
// the hairlines and secondary texts are drawn in. The accent is not here: each view model carries
// the accent it was made with.
import QtQuick

QtObject {
    id: theme

    readonly property SystemPalette system: SystemPalette {
        colorGroup: SystemPalette.Active
    }

    readonly property color window: system.window
    readonly property color primary: system.windowText
    readonly property color secondary: tint(system.windowText, 0.6)
    readonly property color controlBackground: system.base
    readonly property color orange: "#f28c0f"

    // Text is drawn by the platform's font rasteriser: crisp at these small sizes, and far quicker
    // to bring up than distance-field glyphs when a window first opens.
    readonly property int largeSize: 17
    readonly property int bodySize: 13
    readonly property int smallSize: 12
    readonly property int captionSize: 11

    // The colour with its opacity scaled.
    function tint(c: color, alpha: real): color {
        return Qt.rgba(c.r, c.g, c.b, c.a * alpha)
    }
}

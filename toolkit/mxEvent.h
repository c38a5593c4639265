#pragma once
// The one record through which the toolkit hands input and window
// notifications to application code.

class mxWidget;

class mxEvent {
public:
    enum Type {
        Action = 0,  // a control's command, notification or scroll
        Size = 1,    // new client size
        Timer = 2,
        Idle = 3,  // sent by the loop when no message waits
        MouseUp = 6,
        MouseDown = 7,
        MouseMove = 8,  // pointer moved, no button went down in a toolkit window
        MouseDrag = 9,  // pointer moved after a button went down
        KeyUp = 10,
        KeyDown = 11  // a key's virtual-key code, or a typed character
    };
    enum Buttons { LeftButton = 1, RightButton = 2, MiddleButton = 4 };
    enum Modifiers { ControlKey = 1, ShiftKey = 2 };
    enum Flags { RightClicked = 1, DoubleClicked = 2 };

    mxEvent() = default;
    virtual ~mxEvent() = default;

    int type = 0;
    mxWidget* widget = nullptr;
    int action = 0;
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    int buttons = 0;
    int key = 0;
    int modifiers = 0;
    int flags = 0;
};

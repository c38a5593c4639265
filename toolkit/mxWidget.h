#pragma once
#include "toolkit/nativedefs.h"

class mxWindow;
struct mxWidgetHandles;

// Base of every on-screen element: ties the object to its native window (or
// native menu) and reads and changes that window. Every operation on the
// native side does nothing while there is no native handle. Widgets register
// themselves in the application's registry, which destroys the survivors
// with delete when the application quits: create them with new.
class mxWidget {
public:
    enum TypeCode {
        TypeUntyped = -1,
        TypeGlWindow = 3,  // OpenGL window with a working rendering context
        TypeMenu = 8,      // 8 to 10: the native handle is a menu
        TypeMenuBar = 9,
        TypePopupMenu = 10,
        TypeTreeView = 16,
        TypeWindow = 17
    };

    mxWidget(mxWindow* parent, int x, int y, int w, int h, const char* label);
    virtual ~mxWidget();
    mxWidget(const mxWidget&) = delete;
    mxWidget& operator=(const mxWidget&) = delete;

    void setHandle(NativeWindow handle);
    NativeWindow getHandle() const;
    void setType(int type);
    int getType() const;
    void setParent(mxWindow* parent);
    mxWindow* getParent() const;
    void setUserData(intptr_t data);

    void setBounds(int x, int y, int w, int h);
    void setVisible(bool visible);
    void setEnabled(bool enabled);
    void setId(int id);
    int getId() const;
    void setLabel(const char* label);
    int getWidth() const;
    int getHeight() const;

private:
    mxWidgetHandles* handles_;
};

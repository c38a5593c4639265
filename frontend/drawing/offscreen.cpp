#include "frontend/drawing/offscreen.h"

#include <cmath>

#include "frontend/system/system.h"

namespace frontend {

FramePoint pointInLoop(double keyFrames, int first, int last) {
    const int count = last - first + 1;
    FramePoint point;
    if (count < 1 || !std::isfinite(keyFrames)) {
        point.current = point.next = first;
        return point;
    }
    double position = std::fmod(keyFrames, double(count));
    if (position < 0) position += count;
    int whole = int(std::floor(position));
    if (whole >= count) whole = count - 1;
    point.current = first + whole;
    point.next = point.current >= last ? first : point.current + 1;
    point.fraction = float(position - whole);
    return point;
}

namespace {

MakeCanvas makeCanvas = nullptr;

}  // namespace

bool loadDrawing(std::string& error) {
    if (makeCanvas) return true;
#ifdef OMBREL_DRAWING_PLUGIN
    void* entry = loadPlugin(OMBREL_DRAWING_PLUGIN, kMakeCanvasName, error);
    if (!entry) return false;
    makeCanvas = reinterpret_cast<MakeCanvas>(entry);
#else
    (void)error;  // linked in: nothing can fail
    makeCanvas = ombrelMakeCanvas;
#endif
    return true;
}

OffscreenView::OffscreenView() = default;

OffscreenView::~OffscreenView() = default;

bool OffscreenView::open(const OffscreenFormat& format, std::string& error) {
    if (!loadDrawing(error)) {
        error = "drawing is unavailable: " + error;
        return false;
    }
    canvas_.reset(makeCanvas(OMBREL_CANVAS_BUILD));
    if (!canvas_) {
        error = "the drawing plugin is of another build of ombrel (reinstall ombrel)";
        return false;
    }
    useOffscreenWindows();
    CanvasSystem system;
    system.windowKeepsPixels = offscreenWindowKeepsPixels();
    system.shadersKept = softwareRendererKeepsShaders();
    return canvas_->open(format, system, error);
}

void OffscreenView::show(const PreparedView& view) { show(view, view.record); }

void OffscreenView::show(const PreparedView& view, const ViewerConfig& record) {
    auto image = [](const PictureRef& picture) { return picture ? picture->decoded.image.get() : nullptr; };
    CanvasScene scene;
    scene.main = view.main.model.get();
    scene.attach = view.attach ? view.attach->model.get() : nullptr;
    scene.mainSkin = image(view.mainSkin.picture);
    scene.attachSkin = image(view.attachSkin.picture);
    scene.background = image(view.background);
    scene.water = image(view.water);
    canvas_->show(scene, record);
}

void OffscreenView::setFlag(int bit, bool on) { canvas_->setFlag(bit, on); }

RgbaPicture OffscreenView::draw(const FramePoint& at) { return canvas_->draw(at); }

}  // namespace frontend

// The editor library as an LV2 host loads it, in a window of the host's on a real X server
// (Xvfb): a scripted press of a button gives the control-port writes and ui:touch gestures in
// order; parameter values and oscilloscope frames taken from the plug-in's own notify port
// reach the picture.
#include "Lv2Bar.h" // first: the window system's macros clash with the atom headers' names
#include "lv2/Lv2Uris.h"

#include <gtest/gtest.h>
#include <lv2/atom/util.h>
#include <lv2/ui/ui.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/X11TestDisplay.h"

namespace {

// What the editor tells the host, one line each: "write 6 1", "touch 7 on", "UiOn 408".
struct Heard {
    std::mutex mutex;
    std::vector<std::string> lines;
    Lv2World* world = nullptr;
    void add(std::string line) {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(std::move(line));
    }
    std::string after(std::size_t first) {
        std::lock_guard<std::mutex> lock(mutex);
        std::string all;
        for (std::size_t i = first; i < lines.size(); ++i)
            all += lines[i] + "; ";
        return all;
    }
};

void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format,
           const void* buffer) {
    auto* heard = static_cast<Heard*>(controller);
    char line[128];
    if (format == 0 && size == sizeof(float)) {
        std::snprintf(line, sizeof line, "write %u %g", port, *static_cast<const float*>(buffer));
    } else {
        const auto* object = static_cast<const LV2_Atom_Object*>(buffer);
        const std::string type = heard->world->unmap(object->body.otype);
        const LV2_Atom* columns = nullptr;
        lv2_atom_object_get(object, heard->world->map(STAMMERIX_LV2_PREFIX "columns"), &columns, 0);
        std::snprintf(line, sizeof line, "%u %s %d", port, type.substr(type.find('#') + 1).c_str(),
                      columns ? reinterpret_cast<const LV2_Atom_Int*>(columns)->body : 0);
    }
    heard->add(line);
}

// Pixels of a colour (within 8 per channel) in a rectangle of a window, and the sum of all.
int pixelsOf(Display* dpy, Window w, int x, int y, int width, int height, std::uint32_t rgb,
             long* sum = nullptr) {
    int count = 0;
    forEachPixel(dpy, w, x, y, width, height, [&](int, int, std::uint32_t pixel) {
        count += samePixel(pixel, rgb, 8, 24);
        if (sum)
            *sum += static_cast<long>(pixel);
    });
    return count;
}

TEST(Lv2Ui, APressReachesThePortsAndTheNotificationsReachThePicture) {
    Display* dpy = openTestDisplay();
    ASSERT_NE(dpy, nullptr) << "no display: run the tests under xvfb-run";
    const Window parent = mapTestWindow(dpy, 0, 0, 480, 340);
    Lv2World world;
    Heard heard;
    heard.world = &world;

    LilvUIs* uis = lilv_plugin_get_uis(world.plugin);
    ASSERT_EQ(lilv_uis_size(uis), 1u);
    const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
    EXPECT_STREQ(lilv_node_as_uri(lilv_ui_get_uri(ui)), STAMMERIX_LV2_UI_URI);
    char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
    void* library = dlopen(binary, RTLD_NOW | RTLD_LOCAL);
    lilv_free(binary);
    ASSERT_TRUE(library) << dlerror();
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
    const LV2UI_Descriptor* descriptor = entry ? entry(0) : nullptr;
    ASSERT_TRUE(descriptor);

    LV2UI_Touch touch{&heard, [](LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
                          static_cast<Heard*>(h)->add("touch " + std::to_string(port) +
                                                      (grabbed ? " on" : " off"));
                      }};
    LV2UI_Resize resize{&heard, [](LV2UI_Feature_Handle h, int width, int height) {
                            static_cast<Heard*>(h)->add("resize " + std::to_string(width) + " " +
                                                        std::to_string(height));
                            return 0;
                        }};
    const LV2_Feature parentFeature{LV2_UI__parent, windowHandle(parent)},
        touchFeature{LV2_UI__touch, &touch}, idleFeature{LV2_UI__idleInterface, nullptr},
        mapFeature{LV2_URID__map, world.mapFeature()}, resizeFeature{LV2_UI__resize, &resize};
    const LV2_Feature* features[] = {&mapFeature,  &parentFeature, &touchFeature,
                                     &idleFeature, &resizeFeature, nullptr};
    LV2UI_Widget widget = nullptr;
    EXPECT_FALSE(descriptor->instantiate(descriptor, STAMMERIX_LV2_URI, "", write, &heard, &widget,
                                         features + 1)); // no urid:map, no editor
    LV2UI_Handle handle = descriptor->instantiate(descriptor, STAMMERIX_LV2_URI, "", write, &heard,
                                                  &widget, features);
    ASSERT_TRUE(handle);
    const auto* idle =
        static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
    ASSERT_TRUE(idle);
    const Window editor = static_cast<Window>(reinterpret_cast<std::uintptr_t>(widget));
    EXPECT_NE(editor, parent);
    // The host hears the editor's size, the size of the window it embeds.
    XWindowAttributes size{};
    ASSERT_TRUE(XGetWindowAttributes(dpy, editor, &size));
    EXPECT_EQ(heard.after(0), "resize " + std::to_string(size.width) + " " +
                                  std::to_string(size.height) + "; 4 UiOn 408; ");
    auto idleUntil = [&](const std::function<bool()>& done) {
        return ::idleUntil([&] { idle->idle(handle); }, done);
    };
    const std::uint32_t kLeftColour = 0xE2B028;
    // The left channel above the oscilloscope's middle line, the right one (red) below it.
    const auto scopePixels = [&] { return pixelsOf(dpy, editor, 36, 19, 408, 60, kLeftColour); };
    const auto rightPixels = [&] { return pixelsOf(dpy, editor, 36, 99, 408, 60, 0xFF0101); };
    const auto button2 = [&] {
        long sum = 0;
        pixelsOf(dpy, editor, 118, 210, 24, 83, 0, &sum);
        return sum;
    };
    // Drawn: the panel's top strip is no longer the black of a new window.
    ASSERT_TRUE(idleUntil([&] { return pixelsOf(dpy, editor, 0, 0, 480, 19, 0) < 480 * 19 / 2; }));
    EXPECT_EQ(scopePixels(), 0); // an empty loop is a line in the middle

    // A press of button 2 (erase), held until the host hears recording on, then let go.
    std::thread hand([&] {
        for (int i = 0; i < 2000 && heard.after(2).find("write 6 1") == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Display* other = openTestDisplay();
        XTestFakeButtonEvent(other, 1, False, 0);
        XSync(other, False);
        XCloseDisplay(other);
    });
    XWarpPointer(dpy, None, editor, 0, 0, 0, 0, 118 + 12, 250);
    XTestFakeButtonEvent(dpy, 1, True, 0);
    XSync(dpy, False);
    EXPECT_TRUE(idleUntil([&] { return heard.after(2).find("touch 7 off") != std::string::npos; }));
    hand.join();
    const long released = button2();
    EXPECT_EQ(heard.after(2), "touch 6 on; touch 7 on; write 6 1; write 7 0.285714; write 6 0; "
                              "touch 6 off; touch 7 off; ");

    // The plug-in's notifications: recording on in type 2 after a note, and the loop.
    Bar bar(world);
    bar.record();
    bar.host.editor(true);
    bar.host.midi(0, {0x90, 62, 100});
    bar.run(1);
    const std::vector<std::uint8_t> notify = bar.host.notifyBytes();
    const auto* sequence = reinterpret_cast<const LV2_Atom_Sequence*>(notify.data());
    int events = 0;
    LV2_ATOM_SEQUENCE_FOREACH(sequence, event) {
        descriptor->port_event(handle, Lv2Uris::kNotify, sizeof(LV2_Atom) + event->body.size,
                               world.map(LV2_ATOM__eventTransfer), &event->body);
        ++events;
    }
    EXPECT_EQ(events, 2);
    EXPECT_TRUE(idleUntil(
        [&] { return scopePixels() > 1000 && rightPixels() > 1000 && button2() != released; }));
    // The control port's value comes back too: recording off.
    const float off = 0.0f;
    descriptor->port_event(handle, Lv2Uris::kRecording, sizeof off, 0, &off);
    EXPECT_TRUE(idleUntil([&] { return button2() == released; }));

    const std::size_t before = heard.lines.size(); // the hand is gone: only this thread adds
    descriptor->cleanup(handle);
    EXPECT_EQ(heard.after(before), "4 UiOff 0; ");
    lilv_uis_free(uis);
    dlclose(library);
    XCloseDisplay(dpy);
}

} // namespace

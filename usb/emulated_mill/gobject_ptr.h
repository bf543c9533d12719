#pragma once
// Owning pointers for the GObjects umockdev hands out: one unref, on every path.
#include <glib-object.h>

#include <memory>

namespace usbemu {

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object) g_object_unref(object);
    }
};

template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

}  // namespace usbemu

#pragma once

// One mechanism for every layer over the outside world: the program installs the real backends
// once at start-up, a test installs its fakes, and nothing is chosen behind anyone's back. Using a
// layer that nobody installed stops the program with a message naming the layer.

namespace sonocap::platform {

// The name a layer is reported by; each interface header names its own.
template <class Interface>
inline constexpr const char* kLayerName = nullptr;

[[noreturn]] void ReportMissingLayer(const char* name);

template <class Interface>
class Layer {
  public:
    static_assert(kLayerName<Interface> != nullptr, "every layer has a name");

    static Interface& Current() {
        if (installed_ == nullptr) ReportMissingLayer(kLayerName<Interface>);
        return *installed_;
    }
    static Interface* Installed() { return installed_; }
    static void Install(Interface* layer) { installed_ = layer; }

  private:
    static inline Interface* installed_ = nullptr;
};

// The layer in use for `Interface`.
template <class Interface>
Interface& Current() {
    return Layer<Interface>::Current();
}

// Makes `layer` the one in use; nullptr leaves the layer uninstalled.
template <class Interface>
void Install(Interface* layer) {
    Layer<Interface>::Install(layer);
}

// Installs a layer for as long as the guard lives, then puts back what was there before.
template <class Interface>
class LayerGuard {
  public:
    explicit LayerGuard(Interface& layer) : previous_(Layer<Interface>::Installed()) {
        Layer<Interface>::Install(&layer);
    }
    ~LayerGuard() { Layer<Interface>::Install(previous_); }
    LayerGuard(const LayerGuard&) = delete;
    LayerGuard& operator=(const LayerGuard&) = delete;

  private:
    Interface* previous_;
};

}  // namespace sonocap::platform

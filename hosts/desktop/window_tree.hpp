// The window registry every desktop keeps beside its windowing system: handles (never reused;
// 1 is the desktop window), class names, titles, port parents, the handlers, and the z-order
// among siblings. Where windows are and whether they show is the desktop's own business: it
// keeps that in `Data`, a struct of its own that each node carries.
//
// A desktop whose windows can vanish behind its back (a widget the host deletes) gives `Data`
// a `bool Alive() const`: Find and the searches then skip nodes that are not alive, until the
// desktop destroys them.
#pragma once

#include "platform/desktop.hpp"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace scribeline::desktop {

inline constexpr WindowHandle kDesktopWindow = 1;

template <class Data> class WindowTree {
public:
    struct Node : Data {
        WindowHandle handle = kNoWindow;
        std::string className;
        std::string title;
        WindowHandle parent = kNoWindow; // kNoWindow: a top-level window
        IWindowHandler* handler = nullptr;
        std::vector<WindowHandle> children; // z-order: the last is on top
        bool destroying = false;
    };

    // The handle the next Add gives out.
    [[nodiscard]] WindowHandle NextHandle() const { return next_; }

    // The desktop window itself (handle 1): found by Find, but in no z-order list.
    Node& AddDesktop(std::string className, Data data = {}) {
        Node n;
        static_cast<Data&>(n) = std::move(data);
        n.handle = kDesktopWindow;
        n.className = std::move(className);
        return nodes_.insert_or_assign(kDesktopWindow, std::move(n)).first->second;
    }

    // A new window on top of its siblings. `parent` is kNoWindow (or the desktop window) for a
    // top-level window, else a window in the tree.
    Node& Add(std::string className, std::string title, WindowHandle parent,
              IWindowHandler* handler, Data data = {}) {
        if (parent == kDesktopWindow) {
            parent = kNoWindow;
        }
        Node n;
        static_cast<Data&>(n) = std::move(data);
        n.handle = next_++;
        n.className = std::move(className);
        n.title = std::move(title);
        n.parent = parent;
        n.handler = handler;
        const WindowHandle h = n.handle;
        Node& added = nodes_.emplace(h, std::move(n)).first->second;
        ListOf(parent).push_back(h);
        return added;
    }

    // The live window of a handle, null for none.
    Node* Find(WindowHandle h) {
        auto it = nodes_.find(h);
        return it == nodes_.end() || !IsAlive(it->second) ? nullptr : &it->second;
    }
    const Node* Find(WindowHandle h) const {
        auto it = nodes_.find(h);
        return it == nodes_.end() || !IsAlive(it->second) ? nullptr : &it->second;
    }
    // Any window still in the tree, alive or not; null for none.
    Node* FindAny(WindowHandle h) {
        auto it = nodes_.find(h);
        return it == nodes_.end() ? nullptr : &it->second;
    }
    // For handles known to be in the tree (parents, children, z-order lists).
    Node& At(WindowHandle h) { return nodes_.at(h); }
    const Node& At(WindowHandle h) const { return nodes_.at(h); }

    // Top-level windows, bottom to top.
    [[nodiscard]] const std::vector<WindowHandle>& TopLevel() const { return topLevel_; }
    // Every node by handle (the desktop window too).
    [[nodiscard]] std::map<WindowHandle, Node>& Nodes() { return nodes_; }
    [[nodiscard]] const std::map<WindowHandle, Node>& Nodes() const { return nodes_; }

    // The window's top-level ancestor (itself when top-level).
    [[nodiscard]] WindowHandle Root(WindowHandle h) const {
        const Node* n = Find(h);
        while (n != nullptr && n->parent != kNoWindow) {
            h = n->parent;
            n = Find(h);
        }
        return h;
    }

    // Puts the window on top of its siblings.
    void Raise(WindowHandle h) {
        auto& list = ListOf(At(h).parent);
        list.erase(std::remove(list.begin(), list.end(), h), list.end());
        list.push_back(h);
    }

    // Moves `child` under `newParent` (kNoWindow or the desktop window: top-level), on top of
    // its new siblings. Returns the previous parent (the desktop window for a top-level
    // window), or nothing when either window is unknown, `child` is the desktop window or the
    // move would make a window its own ancestor.
    std::optional<WindowHandle> Reparent(WindowHandle child, WindowHandle newParent) {
        Node* n = Find(child);
        if (n == nullptr || child == kDesktopWindow) {
            return std::nullopt;
        }
        if (newParent == kDesktopWindow) {
            newParent = kNoWindow;
        }
        if (newParent != kNoWindow) {
            if (Find(newParent) == nullptr) {
                return std::nullopt;
            }
            for (WindowHandle a = newParent; a != kNoWindow; a = At(a).parent) {
                if (a == child) {
                    return std::nullopt;
                }
            }
        }
        const WindowHandle old = n->parent == kNoWindow ? kDesktopWindow : n->parent;
        Unlink(*n);
        n->parent = newParent;
        ListOf(newParent).push_back(child);
        return old;
    }

    // The next live direct child of `parent` (kNoWindow or the desktop window: the top-level
    // windows) below `after` in z-order (kNoWindow: from the top) whose class and title match;
    // an empty optional matches anything. kNoWindow when none, or when `parent` is unknown.
    [[nodiscard]] WindowHandle FindChild(WindowHandle parent, WindowHandle after,
                                         const std::optional<std::string>& className,
                                         const std::optional<std::string>& title) const {
        const std::vector<WindowHandle>* list = &topLevel_;
        if (parent != kNoWindow && parent != kDesktopWindow) {
            const Node* p = Find(parent);
            if (p == nullptr) {
                return kNoWindow;
            }
            list = &p->children;
        }
        bool started = after == kNoWindow;
        for (auto it = list->rbegin(); it != list->rend(); ++it) {
            if (!started) {
                started = *it == after;
                continue;
            }
            const Node* n = Find(*it);
            if (n != nullptr && (!className || n->className == *className) &&
                (!title || n->title == *title)) {
                return *it;
            }
        }
        return kNoWindow;
    }

    // The topmost live window for which `hits(node, topLevel)` holds, followed down into its
    // children (topmost first) while one of them holds too: what lies under a point, with the
    // desktop saying what a hit is. kNoWindow when no top-level window holds.
    template <class Hits> [[nodiscard]] WindowHandle Deepest(Hits&& hits) const {
        WindowHandle found = kNoWindow;
        const std::vector<WindowHandle>* list = &topLevel_;
        bool topLevel = true;
        for (bool descended = true; descended;) {
            descended = false;
            for (auto it = list->rbegin(); it != list->rend(); ++it) {
                const Node* n = Find(*it);
                if (n != nullptr && hits(*n, topLevel)) {
                    found = *it;
                    list = &n->children;
                    topLevel = false;
                    descended = true;
                    break;
                }
            }
        }
        return found;
    }

    // Destroys a window and its children, children first. `gone(node)` runs for each while
    // it is still in the tree (the desktop tells the handler, lets go of its own resources);
    // then the node leaves its z-order list and the tree. A window already being destroyed
    // (a handler destroying its own window again) is left to that.
    template <class Gone> void Destroy(WindowHandle h, Gone&& gone) {
        Node* n = FindAny(h);
        if (n == nullptr || n->destroying) {
            return;
        }
        n->destroying = true;
        const std::vector<WindowHandle> kids = n->children;
        for (WindowHandle kid : kids) {
            Destroy(kid, gone);
        }
        gone(At(h));
        Unlink(At(h));
        nodes_.erase(h);
    }

    // Forgets every window (the desktop window too) without telling anyone.
    void Clear() {
        nodes_.clear();
        topLevel_.clear();
    }

private:
    static bool IsAlive(const Node& n) {
        if constexpr (requires { n.Alive(); }) {
            return n.Alive();
        } else {
            return true;
        }
    }
    std::vector<WindowHandle>& ListOf(WindowHandle parent) {
        return parent == kNoWindow ? topLevel_ : nodes_.at(parent).children;
    }
    void Unlink(const Node& n) {
        if (n.handle == kDesktopWindow) {
            return;
        }
        auto& list = ListOf(n.parent);
        list.erase(std::remove(list.begin(), list.end(), n.handle), list.end());
    }

    WindowHandle next_ = kDesktopWindow + 1;
    std::map<WindowHandle, Node> nodes_;
    std::vector<WindowHandle> topLevel_; // z-order: the last is on top
};

} // namespace scribeline::desktop

#include "app/posekeys.h"

#include <cassert>
#include <cstddef>

namespace wbx {

namespace {

struct TPoseKeyBinding {
    TPoseKey Key;
    const char* Text;
    QList<QKeySequence> Shortcuts;
};

const TPoseKeyBinding& BindingOf(TPoseKey key) {
    // In the order of TPoseKey.
    static const TPoseKeyBinding bindings[] = {
        {TPoseKey::TurnLeft, "Turn &left", {Qt::Key_Left, Qt::SHIFT | Qt::Key_Left}},
        {TPoseKey::TurnRight, "Turn &right", {Qt::Key_Right, Qt::SHIFT | Qt::Key_Right}},
        {TPoseKey::TiltUp, "Tilt &up", {Qt::Key_Up, Qt::SHIFT | Qt::Key_Up}},
        {TPoseKey::TiltDown, "Tilt &down", {Qt::Key_Down, Qt::SHIFT | Qt::Key_Down}},
        {TPoseKey::Larger, "&Larger", {Qt::Key_Plus, Qt::Key_Equal}},
        {TPoseKey::Smaller, "&Smaller", {Qt::Key_Minus}},
        {TPoseKey::StartPose, "&Start pose", {Qt::Key_Home}},
    };
    const TPoseKeyBinding& binding = bindings[static_cast<size_t>(key)];
    assert(binding.Key == key && "the bindings are in the order of TPoseKey");
    return binding;
}

}  // namespace

QList<QKeySequence> PoseKeyShortcuts(TPoseKey key) { return BindingOf(key).Shortcuts; }

QString PoseKeyText(TPoseKey key) { return QString::fromUtf8(BindingOf(key).Text); }

}  // namespace wbx

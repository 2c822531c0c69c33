#pragma once

#include <memory>

class UIView;

// A tap on a form outside its fields, text areas and buttons puts the
// keyboard away, as on the phone's forms; touches on the fields, the text and
// the buttons stay theirs. The tap is watched on `form` for as long as it lives.
void endEditingOnTapOutside(const std::shared_ptr<UIView>& form);

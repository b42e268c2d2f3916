#pragma once

#include <array>
#include <string_view>
#include <type_traits>

#include "ServerAdminForm.h"

namespace veltrona::app {

// One handler of the form: the name the description's events give it, and what it runs.
struct FormHandlerRow {
    std::string_view name;
    bool (*run)(TServerAdminForm& form);  // false: the handler refused (only FormClose)
};

namespace handlers {

template <auto Method>
bool runMethod(TServerAdminForm& form) {
    if constexpr (std::is_same_v<decltype((form.*Method)()), bool>) {
        return (form.*Method)();
    } else {
        (form.*Method)();
        return true;
    }
}

// Each handler once, name beside method: the description's rows reference these
// constants, and the program binds kAll.
inline constexpr FormHandlerRow kFormCreate{"FormCreate",
                                            &runMethod<&TServerAdminForm::FormCreate>};
inline constexpr FormHandlerRow kFormShow{"FormShow", &runMethod<&TServerAdminForm::FormShow>};
inline constexpr FormHandlerRow kFormClose{"FormClose", &runMethod<&TServerAdminForm::FormClose>};
inline constexpr FormHandlerRow kTimer1Timer{"Timer1Timer",
                                             &runMethod<&TServerAdminForm::Timer1Timer>};
inline constexpr FormHandlerRow kButton1Click{"Button1Click",
                                              &runMethod<&TServerAdminForm::Button1Click>};
inline constexpr FormHandlerRow kButton2Click{"Button2Click",
                                              &runMethod<&TServerAdminForm::Button2Click>};
inline constexpr FormHandlerRow kCheckBox2Click{"CheckBox2Click",
                                                &runMethod<&TServerAdminForm::CheckBox2Click>};

inline constexpr std::array kAll{kFormCreate,   kFormShow,     kFormClose,     kTimer1Timer,
                                 kButton1Click, kButton2Click, kCheckBox2Click};

}  // namespace handlers

}  // namespace veltrona::app

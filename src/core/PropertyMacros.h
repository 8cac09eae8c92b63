#pragma once
// Declares a published property: a getter, a setter that stores only a different value and then
// marks the owner changed (MarkChanged of the class), and the field F<Name>. Place in a public section.

#define QV_PROPERTY_SETTER(Name, ParamType)                                                                            \
    void Set##Name(ParamType value)                                                                                    \
    {                                                                                                                  \
        if (F##Name == value)                                                                                          \
            return;                                                                                                    \
        F##Name = value;                                                                                               \
        MarkChanged();                                                                                                 \
    }

#define QV_PROPERTY(Type, Name, Init)                                                                                  \
    Type Name() const { return F##Name; }                                                                              \
    QV_PROPERTY_SETTER(Name, Type)                                                                                     \
    Type F##Name = Init;

#define QV_STRING_PROPERTY(Name)                                                                                       \
    const std::string& Name() const { return F##Name; }                                                                \
    QV_PROPERTY_SETTER(Name, const std::string&)                                                                       \
    std::string F##Name;

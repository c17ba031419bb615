#pragma once
// A published property: a getter and a setter that stores the value and, when
// it changed, calls the owner's Changed() (which asks the chart to repaint).
// The macro leaves the class in its private section.

#define CHART_PROPERTY(Type, Name, Default)                                                                            \
public:                                                                                                                \
    const Type& Name() const                                                                                           \
    {                                                                                                                  \
        return Name##_;                                                                                                \
    }                                                                                                                  \
    void Set##Name(const Type& value)                                                                                  \
    {                                                                                                                  \
        if (Name##_ == value)                                                                                          \
            return;                                                                                                    \
        Name##_ = value;                                                                                               \
        Changed();                                                                                                     \
    }                                                                                                                  \
                                                                                                                       \
private:                                                                                                               \
    Type Name##_ = Default;

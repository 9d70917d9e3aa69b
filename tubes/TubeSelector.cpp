#include "tubes/TubeSelector.h"

Triode* TubeSelector::selectTube(std::string name)
{
    // Searched in this order, which differs from the storage order of the names.
    if (name == names[0])
        current = &(ecc83 = ECC83());
    else if (name == names[3])
        current = &(jjecc83 = JJECC83());
    else if (name == names[2])
        current = &(tsecc83 = TSECC83());
    else if (name == names[1])
        current = &(ehecc83 = EHECC83());
    else if (name == names[4])
        current = &(jjecc803 = JJECC803());
    else if (name == names[5])
        current = &(stecc83 = STECC83());
    return current;
}

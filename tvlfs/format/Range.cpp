#include "Range.h"

Range::Range(int min, int max, int increment) : _min(min), _max(max), _increment(increment) {}

bool Range::allowed(int value) const {
    if (value < _min || value > _max) return false;
    return _increment <= 0 || (value - _min) % _increment == 0;
}

int Range::closest(int value) const {
    if (value <= _min) return _min;
    if (value >= _max) return _max;
    if (_increment <= 0) return value;
    return value - (value - _min) % _increment;
}

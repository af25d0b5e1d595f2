// Gives every layer library at least one translation unit, whatever its folder holds yet.

// STUB: replaced by the texture work.

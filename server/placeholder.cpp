// removed once the unit lands

// placeholder until the model lands

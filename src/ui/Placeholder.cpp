namespace kalvorin::ui {}

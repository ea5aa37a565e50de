int chart_floor() {
    return 0;
}

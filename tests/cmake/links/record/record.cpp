int record_floor() {
    return 0;
}
